#!/usr/bin/env bash
# `orbelin -batch` on the sample inputs with FEFF run through Slurm's srun, on a one-node
# cluster brought up by local-slurm.sh in a temporary directory:
#   1. with the cluster up, every job ends with chi data in its own working directory,
#      and Slurm saw one job with exactly one step per FEFF run, in that directory;
#   2. with the controller down, srun fails (exit code 1 after some seconds): every job's
#      log says so, no job shows the chi.dat of the first run, and that file is left.
#
#   batch-through-srun.sh ORBELIN ORBELIN_ATOMS DATA_DIR
#
# Exit status: 0 passed, 1 failed, 77 skipped (Slurm or munge missing, or no cluster
# could be brought up here). ORBELIN_KEEP_SLURM_TEST=1 keeps the temporary directory.
set -u
if [ $# -ne 3 ]; then
    echo "usage: $0 ORBELIN ORBELIN_ATOMS DATA_DIR" >&2
    exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
orbelin=$1
atoms=$2
data=$3
feff=/usr/bin/feff6
failures=0

check() {   # check CONDITION-TEXT COMMAND...: runs the command, counts and reports a failure
    local what=$1
    shift
    "$@" || { echo "FAIL: $what" >&2; failures=$((failures + 1)); }
}

[ -x "$feff" ] || { echo "FAIL: $feff is missing (Debian package ifeffit)" >&2; exit 1; }

# A run inside a Slurm allocation would otherwise hand that allocation to srun.
for var in $(compgen -e | grep '^SLURM_'); do unset "$var"; done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/orbelin-slurm.XXXXXX") || exit 1
chmod 755 "$tmp"   # munged wants every directory above its socket open to all
cleanup() {
    "$here/local-slurm.sh" stop "$tmp/slurm"
    if [ "${ORBELIN_KEEP_SLURM_TEST:-0}" = 1 ]; then
        echo "kept $tmp"
    else
        rm -rf "$tmp"
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

started=$SECONDS
"$here/local-slurm.sh" start "$tmp/slurm"
status=$?
if [ $status -eq 77 ]; then
    echo "SKIPPED: no one-node Slurm cluster here (see the messages above)"
    exit 77
fi
[ $status -eq 0 ] || exit 1
source "$tmp/slurm/env.sh"
echo "cluster up in $((SECONDS - started)) s"

# The inputs: every sample CIF and every sample FEFF input that FEFF can run.
run=$tmp/run
mkdir -p "$run/00-Cif" "$run/00-Inp"
cp "$data"/cif/*.cif "$run/00-Cif/"
for inp in "$data"/feff/*.inp; do
    case "$(basename "$inp")" in
    broken_garbage_feff.inp | empty_feff.inp) ;;
    *) cp "$inp" "$run/00-Inp/" ;;
    esac
done
jobs=$(find "$run/00-Cif" "$run/00-Inp" -type f | wc -l)

write_config() {   # write_config MAX_PROC
    cat > "$run/config.cfg" << EOF
MAX_PROC   $1
ATOMS_EXE  $atoms
ATOMS_ARG  ""
FEFF_EXE   $(command -v srun)
FEFF_ARG   "-Q -n1 --input=none $feff"
EOF
}

run_batch() {   # run_batch NAME: orbelin -batch in $run; output in $tmp/NAME.out and .err
    local began=$SECONDS
    (cd "$run" && timeout 60 "$orbelin" -batch -e > "$tmp/$1.out" 2> "$tmp/$1.err")
    local code=$?
    echo "$1: orbelin -batch ended with $code after $((SECONDS - began)) s"
    return $code
}

show_run() {
    echo "--- $1: standard output"
    cat "$tmp/$1.out"
    echo "--- $1: standard error"
    cat "$tmp/$1.err"
}

# --- 1. The cluster is up: every job gets its chi data through srun.
write_config 2
run_batch up
check "orbelin -batch with the cluster up exits with 0" [ $? -eq 0 ]
check "one line per input ($jobs)" [ "$(wc -l < "$tmp/up.out")" -eq "$jobs" ]

dirs=()
while IFS=$'\t' read -r input atoms_status feff_status points dir result; do
    dirs+=("$dir")
    # FEFF 6 cuts the path list of the 9 A clusters: chi data, with its warning.
    case "$input" in
    *_r8_feff.inp) expected=ok-warned ;;
    *) expected=ok ;;
    esac
    check "$input: the run ended well ($result)" [ "$result" = "$expected" ]
    check "$input: FEFF finished ($feff_status)" [ "$feff_status" = "F. Finished" ]
    check "$input: chi data read ($points points)" [ "${points:-0}" -gt 0 ]
    check "$input: chi.dat in its working directory $dir" [ -s "$dir/chi.dat" ]
    case "$input" in
    */00-Cif/*) check "$input: Atoms finished ($atoms_status)" [ "$atoms_status" = "A. Finished" ] ;;
    esac
done < "$tmp/up.out"
check "every job has a working directory of its own" \
    [ "$(printf '%s\n' "${dirs[@]}" | sort -u | wc -l)" -eq "$jobs" ]
check "no FEFF run reported as failed" \
    bash -c "! grep -E 'FeFF (ended|crashed)|no new chi.dat' '$tmp/up.err'"

# Slurm's side. Every srun outside an allocation is a job of its own, with one step.
# jobcomp/filetxt writes a line per job when it ends (srun has reported it by the time it
# exits; a moment's grace all the same), and slurmd logs the launch of every step.
comp=$tmp/slurm/jobcomp.txt
for _ in $(seq 50); do
    [ "$(grep -c . "$comp" 2> /dev/null)" -ge "$jobs" ] && break
    sleep 0.1
done
check "Slurm recorded $jobs jobs (jobcomp has $(grep -c . "$comp" 2> /dev/null))" \
    [ "$(grep -c . "$comp" 2> /dev/null)" -eq "$jobs" ]
launches=$(grep -c 'launch task StepId=' "$tmp/slurm/slurmd.log")
check "slurmd launched $jobs steps (it launched $launches)" [ "$launches" -eq "$jobs" ]
for dir in "${dirs[@]}"; do
    line=$(grep -F " WorkDir=$dir " "$comp")
    check "one Slurm job ran in $dir" [ "$(grep -c . <<< "$line")" -eq 1 ]
    for field in Name=feff6 JobState=COMPLETED ExitCode=0:0; do
        check "the Slurm job in $dir has $field: $line" grep -qF " $field " <<< " $line "
    done
    id=$(sed -n 's/^JobId=\([0-9]*\) .*/\1/p' <<< "$line" | head -n 1)
    steps=$(grep -o "launch task StepId=${id:-none}\.[a-z0-9]*" "$tmp/slurm/slurmd.log")
    check "job ${id:-?} ($dir) had exactly one step, step 0 ($steps)" \
        [ "$steps" = "launch task StepId=$id.0" ]
done
[ $failures -eq 0 ] || { show_run up; exit 1; }

# --- 2. The controller is down: srun gives up with exit code 1, and the chi.dat of the
# first run, still in every working directory, must not be taken for a result. All jobs
# at once, since each srun takes some seconds to give up.
sums=$(md5sum "${dirs[@]/%//chi.dat}")
"$here/local-slurm.sh" stop "$tmp/slurm" slurmctld
write_config "$jobs"
run_batch down
check "orbelin -batch with the controller down exits with 1" [ $? -eq 1 ]
check "one line per input ($jobs)" [ "$(wc -l < "$tmp/down.out")" -eq "$jobs" ]
while IFS=$'\t' read -r input _ feff_status points dir result; do
    check "$input: FEFF failed ($feff_status)" [ "$feff_status" = "F. Failed" ]
    check "$input: no chi data shown ($points points)" [ "$points" = 0 ]
    check "$input: the job log word is exit-1 ($result)" [ "$result" = exit-1 ]
    check "$input: srun's error is logged" grep -qF "FeFF in $dir : srun: error:" "$tmp/down.err"
    check "$input: the exit code is logged" grep -qxF "FeFF ended with exit code 1 in $dir" "$tmp/down.err"
done < "$tmp/down.out"
check "the chi.dat files of the first run are left as they were" \
    md5sum --quiet -c <(printf '%s\n' "$sums")
[ $failures -eq 0 ] || { show_run down; exit 1; }

echo "PASSED: $jobs jobs through srun in $((SECONDS - started)) s in all"
