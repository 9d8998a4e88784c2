"""The show's picture table, src/demo/pictures.tsv, as the asset tools read it: one dict
a picture, in the table's order, with the sizes as numbers."""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TABLE = os.path.join(ROOT, 'src', 'demo', 'pictures.tsv')
COLUMNS = ['name', 'file', 'width', 'height', 'screen_width', 'screen_height', 'shown', 'what']
NUMBERS = ['width', 'height', 'screen_width', 'screen_height', 'shown']


def fail(tool, message):
    sys.stderr.write('%s: ERROR: %s\n' % (tool, message))
    sys.exit(1)


def read(tool, path=TABLE):
    rows = []
    header = None
    with open(path, encoding='utf-8') as fh:
        for number, line in enumerate(fh, 1):
            line = line.rstrip('\r\n')
            if not line or line.startswith('#'):
                continue
            fields = line.split('\t')
            where = '%s:%d' % (os.path.relpath(path, ROOT), number)
            if header is None:
                if fields != COLUMNS:
                    fail(tool, '%s: the columns must be: %s' % (where, ' '.join(COLUMNS)))
                header = fields
                continue
            if len(fields) != len(COLUMNS):
                fail(tool, '%s: %d fields, not %d' % (where, len(fields), len(COLUMNS)))
            row = dict(zip(COLUMNS, fields))
            for column in NUMBERS:
                if not row[column].isdigit() or int(row[column]) <= 0:
                    fail(tool, '%s: %s is %r, not a positive number' % (where, column, row[column]))
                row[column] = int(row[column])
            rows.append(row)
    files = [row['file'] for row in rows]
    twice = sorted({f for f in files if files.count(f) > 1})
    if twice:
        fail(tool, '%s lists %s more than once' % (os.path.relpath(path, ROOT), ', '.join(twice)))
    return rows
