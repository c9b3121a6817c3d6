# Debian packages that building, testing and the demo need; sourced by the scripts.

ORBELIN_BUILD_PACKAGES=(
    cmake g++ make
    qtbase5-dev qttools5-dev qttools5-dev-tools libqt5svg5-dev
    gemmi-dev tao-pegtl-dev libstb-dev
    libfftw3-dev libgsl-dev zlib1g-dev pkg-config musl-tools
)
# FEFF 6L (/usr/bin/feff6) for the end-to-end tests and the demo, FEFF 8.5L
# (/usr/bin/feff8l) for the tests that run it; a CJK font so that the Japanese labels render.
ORBELIN_RUN_PACKAGES=(ifeffit feff85exafs fonts-noto-cjk)
# A one-node Slurm cluster (controller, node daemon, srun and munge) for the test that runs
# FEFF through srun (tests/slurm); that test is skipped without them.
ORBELIN_SLURM_PACKAGES=(slurmctld slurmd slurm-client munge)

# Installs whichever of the given packages is missing (apt-get update first).
ensure_packages()
{
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}
