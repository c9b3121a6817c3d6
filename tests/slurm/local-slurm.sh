#!/usr/bin/env bash
# A one-node Slurm cluster on this machine, everything in one directory: a recipe for
# trying FEFF through srun without a real cluster, and the set-up of the Slurm test.
#
#   tests/slurm/local-slurm.sh start DIR            # munged, slurmctld, slurmd; config in DIR
#   source DIR/env.sh                               # SLURM_CONF for srun, sinfo, scontrol
#   tests/slurm/local-slurm.sh stop DIR [DAEMON...] # all of them, or some (munged, slurmctld, slurmd)
#
# Needs Debian's slurmctld, slurmd, slurm-client and munge. It runs without systemd and
# without cgroups, and it shares nothing with a Slurm or munge already on the machine:
# its own munge key and socket, its own free ports, its own state, spool, logs and
# process-id files, all under DIR. DIR, like every directory above it, must be open for
# everyone to enter: munged refuses a socket that other users cannot reach. The daemons
# are stopped by the process ids they wrote there, never by name.
#
# With the cluster up, Orbelin runs FEFF through it with these lines in config.cfg
# (SLURM_CONF from env.sh in Orbelin's environment):
#   FEFF_EXE  /usr/bin/srun
#   FEFF_ARG  "-Q -n1 --input=none /usr/bin/feff6"
#
# After a start, DIR also holds:
#   slurm.conf   the configuration (SLURM_CONF)
#   jobcomp.txt  one line per finished job (JobId=, Name=, JobState=, WorkDir=, ExitCode=...)
#   *.log        the daemons' logs; slurmd.log has a "launch task StepId=J.S" line per step
#
# Exit status of start: 0 when the node is up and idle; 77 when Slurm or munge is not
# installed or the cluster did not come up (then its logs are printed and whatever had
# started is stopped again); 2 for a usage error.
set -u

usage() {
    echo "usage: $0 start DIR | stop DIR [munged|slurmctld|slurmd]..." >&2
    exit 2
}
[ $# -ge 2 ] || usage
action=$1
dir=$2
shift 2

# The node's name in Slurm. slurmd is told it with -N, so the machine's host name does
# not have to match a NodeName line.
node=orbelin-node

# pid_of NAME: the process id that daemon NAME wrote under DIR, if that process is
# still that daemon (a pid file can outlive its process, and the number be reused).
pid_of() {
    local file="$dir/$1.pid"
    [ -s "$file" ] || return 1
    local pid
    pid=$(tr -dc '0-9' < "$file")
    [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] || return 1
    # The command line holds the daemon's name (munged, slurmctld or slurmd).
    tr '\0' ' ' < "/proc/$pid/cmdline" | grep -q "$1" || return 1
    echo "$pid"
}

# A process that has not ended (a zombie whose parent has not reaped it has ended).
alive() {
    [ -r "/proc/$1/status" ] && ! grep -q "^State:[[:space:]]*Z" "/proc/$1/status"
}

stop() {
    # All at once: each takes a second or two to wind down. (slurmd tells the controller
    # on its way out and both need munged until then, but nothing is lost if they miss.)
    local names=("$@") name pid pids=()
    [ ${#names[@]} -gt 0 ] || names=(slurmd slurmctld munged)
    for name in "${names[@]}"; do
        pid=$(pid_of "$name") || continue
        kill -TERM "$pid" 2> /dev/null && pids+=("$pid")
    done
    for _ in $(seq 100); do           # 10 s for an orderly exit, then no more asking
        local left=()
        for pid in "${pids[@]}"; do
            alive "$pid" && left+=("$pid")
        done
        [ ${#left[@]} -eq 0 ] && return 0
        pids=("${left[@]}")
        sleep 0.1
    done
    echo "local-slurm: killing ${pids[*]}, which did not stop on TERM" >&2
    kill -KILL "${pids[@]}" 2> /dev/null
}

# A TCP port nobody listens on, from a random starting point between 20000 and 39999.
# /proc/net/tcp{,6} list the listening sockets (state 0A) with their ports in hex.
free_port() {
    local port=$((20000 + RANDOM % 20000)) taken="" local_address state
    while read -r _ local_address _ state _; do
        [ "$state" = 0A ] && taken+=" $((16#${local_address##*:})) "
    done < <(cat /proc/net/tcp /proc/net/tcp6 2> /dev/null)
    while [[ "$taken" == *" $port "* ]] || [ "$port" = "${1:-}" ]; do
        port=$((port + 1))
    done
    echo "$port"
}

give_up() {
    echo "local-slurm: $*" >&2
    for log in "$dir"/munged.log "$dir"/slurmctld.log "$dir"/slurmd.log; do
        [ -s "$log" ] && { echo "--- $log (last lines)" >&2; tail -n 15 "$log" >&2; }
    done
    stop
    exit 77
}

start() {
    for program in munged mungekey slurmctld slurmd srun sinfo scontrol; do
        command -v "$program" > /dev/null ||
            { echo "local-slurm: $program is missing (Debian packages slurmctld slurmd slurm-client munge)" >&2; exit 77; }
    done
    mkdir -p "$dir" || exit 2
    dir=$(cd "$dir" && pwd)
    # munged insists that everyone may enter the directory of its socket and that only
    # its owner may write there; the key is for the owner alone.
    chmod 755 "$dir"
    mkdir -p "$dir/state" "$dir/spool"
    local user host ctld_port slurmd_port
    user=$(id -un)
    host=$(hostname -s)

    # 1. munge, the authentication both daemons and srun use, with a key of its own.
    mungekey --create --keyfile="$dir/munge.key" 2> "$dir/mungekey.err" ||
        give_up "mungekey failed: $(cat "$dir/mungekey.err")"
    chmod 600 "$dir/munge.key"
    munged --socket="$dir/munge.socket" --key-file="$dir/munge.key" \
        --pid-file="$dir/munged.pid" --log-file="$dir/munged.log" \
        --seed-file="$dir/munged.seed" || give_up "munged did not start"

    # 2. The configuration. Without systemd and cgroups: processes are tracked through
    # /proc (proctrack/linuxproc), tasks are not bound (task/none), no usage is gathered.
    # There is no accounting database; finished jobs go to a text file (jobcomp/filetxt).
    # SlurmctldHost is the short host name (slurmctld checks that it is itself) reached
    # at 127.0.0.1. A job that arrives while the node is still cleaning up after the last
    # one waits, pending, for the next scheduling pass; batch_sched_delay=0 lets that pass
    # come as soon as the node is free instead of up to 3 s later (the default, meant for
    # clusters flooded with submissions); with a single node no other node takes the job.
    # The node claims more CPUs than the machine may have (config_overrides lets it): it
    # stands for a cluster with CPUs to spare, where MAX_PROC and not the queue decides how
    # many FEFF runs go at a time.
    local cpus=16
    ctld_port=$(free_port)
    slurmd_port=$(free_port "$ctld_port")
    cat > "$dir/slurm.conf" << EOF
ClusterName=orbelinlocal
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
AuthInfo=socket=$dir/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
MailProg=/bin/true
MpiDefault=none
SwitchType=switch/none
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/filetxt
JobCompLoc=$dir/jobcomp.txt
SchedulerType=sched/backfill
SchedulerParameters=batch_sched_delay=0
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
SlurmdParameters=config_overrides
NodeName=$node NodeAddr=127.0.0.1 NodeHostname=$host CPUs=$cpus State=UNKNOWN
PartitionName=local Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
    echo "export SLURM_CONF=$dir/slurm.conf" > "$dir/env.sh"
    export SLURM_CONF="$dir/slurm.conf"

    # 3. The controller and the node's daemon; both go to the background by themselves
    # and write their process ids into DIR.
    slurmctld 2> "$dir/slurmctld.err" || give_up "slurmctld did not start: $(cat "$dir/slurmctld.err")"
    slurmd -N "$node" 2> "$dir/slurmd.err" || give_up "slurmd did not start: $(cat "$dir/slurmd.err")"

    # 4. Ready once the node has registered and is idle (a few seconds at most).
    local state=""
    for _ in $(seq 150); do
        state=$(sinfo -h -n "$node" -o %t 2> /dev/null)
        [ "$state" = "idle" ] && break
        sleep 0.2
    done
    [ "$state" = "idle" ] || give_up "node $node is '${state:-not known}' after 30 s, not idle"
    pid_of munged > /dev/null && pid_of slurmctld > /dev/null && pid_of slurmd > /dev/null ||
        give_up "a daemon left no process id"
    echo "local-slurm: node $node idle; controller on port $ctld_port; SLURM_CONF=$dir/slurm.conf"
}

case "$action" in
start) start ;;
stop) [ ! -d "$dir" ] || stop "$@" ;;
*) usage ;;
esac
