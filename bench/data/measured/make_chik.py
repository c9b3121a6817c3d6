#!/usr/bin/python3
"""Writes the measured chi(k) of the ranking study from Larch's example spectra.

Needs Debian's python3-xraylarch (Larch 0.9.58) and python-xraylarch-doc, which are not
dependencies of Orbelin: the .chik files it wrote are kept beside it. mu(E) from the
columns each file names, then Larch's pre_edge (defaults) and autobk(rbkg=1.0,
kweight=2), other values default.

  bench/data/measured/make_chik.py [OUTPUT_DIR]
"""
import os
import sys

import asteval.asteval
import numpy as np
from larch import Group
from larch.io import read_ascii, read_athena
from larch.xafs import autobk, pre_edge

# Mn.prj holds arrays longer than asteval's default statement limit.
_init = asteval.asteval.Interpreter.__init__


def _longer(self, *args, **kws):
    kws['max_statement_length'] = 10**8
    _init(self, *args, **kws)


asteval.asteval.Interpreter.__init__ = _longer

DATA = '/usr/share/doc/python-xraylarch-doc/examples/xafsdata/'
PRJ = DATA + 'AthenaProjectFiles/'


def ascii_mu(name, kind):
    d = read_ascii(DATA + name)
    if kind == 'i0/i1':
        return d.energy, np.log(d.i0 / d.i1)
    return d.energy, getattr(d, kind)


def athena_mu(name, group):
    g = read_athena(PRJ + name, do_preedge=False, do_bkg=False)._athena_groups[group]
    return g.energy, g.mu


# output name, element, how to read mu(E), the source named in the header
SPECTRA = [
    ('feo', 'Fe', lambda: ascii_mu('feo_rt1.xdi', 'mutrans'), 'feo_rt1.xdi (columns energy, mutrans)'),
    ('cu', 'Cu', lambda: ascii_mu('cu_metal_rt.xdi', 'mutrans'), 'cu_metal_rt.xdi (columns energy, mutrans)'),
    ('ni', 'Ni', lambda: ascii_mu('ni_metal_rt.xdi', 'mutrans'), 'ni_metal_rt.xdi (columns energy, mutrans)'),
    ('v', 'V', lambda: ascii_mu('v_foil.xdi', 'i0/i1'), 'v_foil.xdi (energy, ln(i0/i1))'),
    ('fe3c', 'Fe', lambda: ascii_mu('fe3c_rt.xdi', 'mutrans'), 'fe3c_rt.xdi (columns energy, mutrans)'),
    ('fe2o3', 'Fe', lambda: ascii_mu('fe2o3_rt1.xmu', 'mu'), 'fe2o3_rt1.xmu (columns energy, mu)'),
    ('znse', 'Zn', lambda: ascii_mu('znse_zn_xafs.001', 'i0/i1'), 'znse_zn_xafs.001 (energy, ln(i0/i1))'),
    ('scorodite', 'As', lambda: ascii_mu('scorodite_as_xafs.001', 'i0/i1'),
     'scorodite_as_xafs.001 (energy, ln(i0/i1))'),
    ('fes2', 'Fe', lambda: athena_mu('FeS2.prj', 'fes2_rt01_mar02_xmu'), 'AthenaProjectFiles/FeS2.prj, group fes2_rt01_mar02_xmu'),
    ('nio', 'Ni', lambda: athena_mu('NiO.prj', 'NiO'), 'AthenaProjectFiles/NiO.prj, group NiO'),
    ('mno', 'Mn', lambda: athena_mu('MnO_bv.prj', 'mno_xmu'), 'AthenaProjectFiles/MnO_bv.prj, group mno_xmu'),
    ('mn', 'Mn', lambda: athena_mu('Mn.prj', 'Mn_foil'), 'AthenaProjectFiles/Mn.prj, group Mn_foil'),
    ('mnco3', 'Mn', lambda: athena_mu('Mn.prj', 'Rhodochrosite'), 'AthenaProjectFiles/Mn.prj, group Rhodochrosite'),
    ('mno2', 'Mn', lambda: athena_mu('Mn.prj', 'Pyrolusite'), 'AthenaProjectFiles/Mn.prj, group Pyrolusite'),
    ('mn3o4', 'Mn', lambda: athena_mu('Mn.prj', 'Mn3O4'), 'AthenaProjectFiles/Mn.prj, group Mn3O4'),
    ('fe_foil', 'Fe', lambda: athena_mu('Fe.prj', 'Fe_foil'), 'AthenaProjectFiles/Fe.prj, group Fe_foil'),
    ('fe2o3_prj', 'Fe', lambda: athena_mu('Fe.prj', 'Hematite'), 'AthenaProjectFiles/Fe.prj, group Hematite'),
    ('goethite', 'Fe', lambda: athena_mu('Fe.prj', 'Goerthite'), 'AthenaProjectFiles/Fe.prj, group Goerthite'),
    ('lepidocrocite', 'Fe', lambda: athena_mu('Fe.prj', 'Lepidocrocite'),
     'AthenaProjectFiles/Fe.prj, group Lepidocrocite'),
]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, element, read, source in SPECTRA:
        energy, mu = read()
        order = np.argsort(energy)
        energy, mu = np.asarray(energy)[order], np.asarray(mu)[order]
        g = Group()
        pre_edge(energy, mu, group=g)
        autobk(energy, mu, group=g, rbkg=1.0, kweight=2)
        with open(os.path.join(out, name + '.chik'), 'w') as f:
            f.write(f'# {source}, python-xraylarch-doc 0.9.58 examples/xafsdata\n')
            f.write(f'# element {element} edge K; Larch 0.9.58 pre_edge: e0 {g.e0:.3f} eV, '
                    f'edge step {g.edge_step:.5f}; autobk rbkg 1.0, kweight 2\n')
            f.write('# k chi\n')
            for k, chi in zip(g.k, g.chi):
                f.write(f'{k:.4f} {chi:.8e}\n')


if __name__ == '__main__':
    main()
