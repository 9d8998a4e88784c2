def pytest_configure(config):
    config.addinivalue_line("markers", "whole_show: captures the whole show and checks it")
