#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian machine: the system packages (with apt-get),
# then a project-local virtual environment made with CPython 3.12 holding the build and test
# requirements named in pyproject.toml.
set -euo pipefail
venv=${1:-.venv}
here=$(cd "$(dirname "$0")/.." && pwd)

packages=(g++ make nlohmann-json3-dev libgtest-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

py=$("$here/tools/find-python312")
if [ ! -x "$venv/bin/python" ]; then
  "$py" -m venv "$venv"
fi
reqs=$("$venv/bin/python" - "$here/pyproject.toml" <<'PY'
import sys, tomllib
doc = tomllib.load(open(sys.argv[1], "rb"))
reqs = doc["build-system"]["requires"] + doc["project"]["optional-dependencies"]["test"] + ["cmake>=3.24", "ninja"]
print("\n".join(reqs))
PY
)
mapfile -t reqs <<<"$reqs"
"$venv/bin/python" -m pip install -q --disable-pip-version-check "${reqs[@]}"
