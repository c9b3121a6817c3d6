#!/usr/bin/python3
"""Writes the mu(E) of the Athena project groups that Orbelin's reader refuses as two-column
files, so that the ranking study can make their chi(k) with Orbelin's own background
removal.

Mn.prj flags every group is_proj (an old Athena's mark of a group read from a project);
Orbelin's reader, like Larch's, takes such a group for something other than mu(E), yet its
arrays are the measured mu(E) (Larch's read_athena gives them as energy and mu). Needs
Debian's python3-xraylarch and python-xraylarch-doc, which are not dependencies of Orbelin:
the files it wrote are kept beside it.

  bench/data/measured/extract_prj.py [OUTPUT_DIR]
"""
import os
import sys

import asteval.asteval
import numpy as np
from larch.io import read_athena

# Mn.prj holds arrays longer than asteval's default statement limit.
_init = asteval.asteval.Interpreter.__init__


def _longer(self, *args, **kws):
    kws['max_statement_length'] = 10**8
    _init(self, *args, **kws)


asteval.asteval.Interpreter.__init__ = _longer

PRJ = '/usr/share/doc/python-xraylarch-doc/examples/xafsdata/AthenaProjectFiles/'

# output file, project, group as Larch names it
GROUPS = [
    ('mn_foil.xmu', 'Mn.prj', 'Mn_foil'),
    ('mnco3.xmu', 'Mn.prj', 'Rhodochrosite'),
    ('mno2.xmu', 'Mn.prj', 'Pyrolusite'),
    ('mn3o4.xmu', 'Mn.prj', 'Mn3O4'),
]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, project, group in GROUPS:
        g = read_athena(PRJ + project, do_preedge=False, do_bkg=False)._athena_groups[group]
        with open(os.path.join(out, name), 'w') as f:
            f.write(f'# {project}, group {group}: mu(E) as stored, '
                    'python-xraylarch-doc 0.9.58 examples/xafsdata/AthenaProjectFiles\n')
            f.write('# energy mu\n')
            for e, mu in zip(np.asarray(g.energy), np.asarray(g.mu)):
                f.write(f'{e!r} {mu!r}\n')


if __name__ == '__main__':
    main()
