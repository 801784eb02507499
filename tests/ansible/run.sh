#!/usr/bin/env bash
# Runs the module's play against a scratch copy of the sample, with the
# collection from the source tree and the veskcfg just built, then checks
# that ansible-doc renders the module's documentation.
#   tests/ansible/run.sh SOURCE_DIR VESKCFG_DIR
set -euo pipefail
src=$1 bin=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$src/sample/vesk.cfg" "$scratch/vesk.cfg"
export ANSIBLE_COLLECTIONS_PATH="$src/ansible" ANSIBLE_LOCALHOST_WARNING=false ANSIBLE_NOCOLOR=1
export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 PATH="$bin:$PATH"
ansible-playbook -i localhost, -c local -e "scratch=$scratch" "$src/tests/ansible/playbook.yml"
test -f "$scratch/veskold.cfg"
doc=$(ansible-doc -t module vesk.tracker.vesk_config)
for part in "Brings the configuration file" "OPTIONS" "EXAMPLES" "RETURN VALUES"; do
  grep -q "$part" <<<"$doc" || { echo "ansible-doc shows no $part"; exit 1; }
done
