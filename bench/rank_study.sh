#!/bin/sh
# The ranking study in one command: every candidate set of bench/data/candidates run
# through Orbelin (orbelin-atoms --absorber <element>, Debian's feff6) in a scratch
# directory, then every measured spectrum of bench/data/measured ranked against the set of
# its element. Prints, per spectrum, the rank of its true structure, the R-factors of the
# true structure and of the best other candidate, and their ratio (above 1: the true
# structure is ahead by that factor).
#
# Each spectrum is the measured file itself, made into chi(k) by Orbelin's readers and
# background removal as -measured does (Rbkg 1, k weight 2), with the column choice that
# the table at the end records; -l ranks Larch's chi(k) of the same files (the .chik
# files of make_chik.py) instead.
#
#   bench/rank_study.sh [-b BUILD] [-w WORKDIR] [-a "ATOMS OPTIONS"] [-r] [-l] [-- RANK OPTIONS]
#
#   -b BUILD    build directory with app/orbelin, tools/orbelin-atoms and
#               bench/bench_rank_measured (default: build)
#   -w WORKDIR  scratch directory for the runs (default: BUILD/rank-study);
#               keep it out of the source tree
#   -a OPTIONS  more converter options for every set, e.g. "--sites all" (own runs)
#   -r          reuse finished runs in WORKDIR instead of running the sets again
#   -l          rank Larch's chi(k) (.chik) instead of Orbelin's of the measured files
#   RANK OPTIONS go to bench_rank_measured (words without blanks), e.g.
#               --fit kmin,kmax,kweight,rmin,rmax[,one|shells]
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=build
work=""
atoms_extra=""
reuse=0
larch=0
while [ $# -gt 0 ]; do
    case "$1" in
        -b) build=$2; shift 2 ;;
        -w) work=$2; shift 2 ;;
        -a) atoms_extra=$2; shift 2 ;;
        -r) reuse=1; shift ;;
        -l) larch=1; shift ;;
        --) shift; break ;;
        *) echo "usage: $0 [-b BUILD] [-w WORKDIR] [-a ATOMS_OPTIONS] [-r] [-l] [-- RANK OPTIONS]" >&2
           exit 2 ;;
    esac
done
build=$(cd "$build" && pwd)
[ -n "$work" ] || work="$build/rank-study"
orbelin="$build/app/orbelin"
atoms="$build/tools/orbelin-atoms"
rank="$build/bench/bench_rank_measured"
for p in "$orbelin" "$atoms" "$rank" /usr/bin/feff6; do
    [ -x "$p" ] || { echo "$0: $p is missing (build the targets orbelin, orbelin-atoms, bench_rank_measured; feff6 is Debian's ifeffit)" >&2; exit 2; }
done
suffix=$(printf '%s' "$atoms_extra" | tr -c 'A-Za-z0-9' '_')
runs="$work/runs$suffix"
mkdir -p "$runs"

element_of() {
    case "$1" in fe) echo Fe ;; cu) echo Cu ;; ni) echo Ni ;; v) echo V ;; zn) echo Zn ;;
        as) echo As ;; mn) echo Mn ;; esac
}

for dir in "$here"/data/candidates/*/; do
    set_name=$(basename "$dir")
    element=$(element_of "$set_name")
    out="$runs/$set_name"
    if [ "$reuse" = 1 ] && [ -d "$out/00-Res" ]; then
        continue
    fi
    rm -rf "$out"
    mkdir -p "$out/00-Cif"
    cp "$dir"*.cif "$out/00-Cif/"
    cat > "$out/config.cfg" <<EOF
MAX_PROC   2
ATOMS_EXE  $atoms
ATOMS_ARG  "--absorber $element $atoms_extra"
FEFF_EXE   /usr/bin/feff6
FEFF_ARG   ""
EOF
    (cd "$out" && "$orbelin" -batch -e -c config.cfg > batch.log 2>&1) || true
    echo "$set_name: $(tail -n 1 "$out/batch.log")" >&2
done

rank_options="$*"
printf '%-14s %-22s %-7s %-9s %-28s %s\n' spectrum "true structure" rank "R true" "best other (R)" ratio
# name | candidate set | true structure | measured file (FILE.prj#GROUP: a project's group) |
# column choice as -columns takes it (-: the reader's own)
while IFS='|' read -r spectrum set_name truth file columns; do
    element=$(element_of "$set_name")
    if [ "$larch" = 1 ]; then
        measured="$here/data/measured/$spectrum.chik"
        columns=-
    else
        measured="$here/data/measured/$file"
    fi
    if [ "$columns" = - ]; then choice=""; else choice="--columns $columns"; fi
    # shellcheck disable=SC2086 # the options are words without blanks
    "$rank" --element "$element" $choice $rank_options "$measured" "$runs/$set_name/00-Res" \
        2>/dev/null | awk -F'\t' -v s="$spectrum" -v t="$truth" '
        NR > 1 && $1 != "-" {
            n++
            if ($2 == t) { rank = $1; rt = $3 } else if (other == "") { other = $2; ro = $3 }
        }
        END {
            printf "%-14s %-22s %-7s %-9s %-28s %.2f\n", s, t, rank "/" n, rt,
                other " (" ro ")", (rt > 0 ? ro / rt : 0)
        }'
done <<EOF
feo|fe|FeO_wustite|feo_rt1.xdi|-
cu|cu|Cu_fcc|cu_metal_rt.xdi|-
ni|ni|Ni_fcc|ni_metal_rt.xdi|-
v|v|V_bcc|v_foil.xdi|1,3/4,ln
fe3c|fe|Fe3C_cementite|fe3c_rt.xdi|-
fe2o3|fe|Fe2O3_hematite|fe2o3_rt1.xmu|-
znse|zn|ZnSe_stilleite|znse_zn_xafs.001|1,3/4,ln
scorodite|as|FeAsO4_scorodite|scorodite_as_xafs.001|1,4/5,ln
fes2|fe|FeS2_pyrite|FeS2.prj#fes2_rt01_mar02.xmu|-
nio|ni|NiO_bunsenite|NiO.prj#NiO|-
mno|mn|MnO_manganosite|MnO_bv.prj#mno.xmu|-
mn|mn|Mn_alpha|mn_foil.xmu|-
mnco3|mn|MnCO3_rhodochrosite|mnco3.xmu|-
mno2|mn|MnO2_pyrolusite|mno2.xmu|-
mn3o4|mn|Mn3O4_hausmannite|mn3o4.xmu|-
fe_foil|fe|Fe_bcc|Fe.prj#Fe foil|-
fe2o3_prj|fe|Fe2O3_hematite|Fe.prj#Hematite|-
goethite|fe|FeOOH_goethite|Fe.prj#Goerthite|-
lepidocrocite|fe|FeOOH_lepidocrocite|Fe.prj#Lepidocrocite|-
EOF
