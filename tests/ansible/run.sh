#!/usr/bin/env bash
# Runs the module's play against three hosts: this one (connection local)
# and two reached over ssh through an sshd of the test's own, on 127.0.0.1
# and two free ports. Each host gets a scratch copy of the sample; the
# second ssh host's belongs to another uid. Then checks that ansible-doc
# renders the module's documentation.
#   tests/ansible/run.sh SOURCE_DIR VESKCFG_DIR
set -euo pipefail
src=$1 bin=$2
scratch=$(mktemp -d)
sshd_pid=
cleanup() {
  [[ -n $sshd_pid ]] && kill "$sshd_pid" 2>/dev/null && wait "$sshd_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
chmod 755 "$scratch"
for host in local one two; do
  mkdir "$scratch/$host"
  cp "$src/sample/vesk.cfg" "$scratch/$host/vesk.cfg"
done
chown 4242:4242 "$scratch/two/vesk.cfg"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port1=$(free_port) port2=$(free_port)
ssh-keygen -q -t ed25519 -N '' -f "$scratch/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$scratch/client_key"
cp "$scratch/client_key.pub" "$scratch/authorized_keys"
cat >"$scratch/sshd_config" <<CONF
ListenAddress 127.0.0.1:$port1
ListenAddress 127.0.0.1:$port2
HostKey $scratch/host_key
AuthorizedKeysFile $scratch/authorized_keys
PidFile $scratch/sshd.pid
UsePAM no
StrictModes no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
Subsystem sftp internal-sftp
LogLevel ERROR
CONF
for port in $port1 $port2; do echo "[127.0.0.1]:$port $(cat "$scratch/host_key.pub")"; done >"$scratch/known_hosts"
cat >"$scratch/ssh_config" <<CONF
Host *
  User root
  IdentityFile $scratch/client_key
  UserKnownHostsFile $scratch/known_hosts
  StrictHostKeyChecking yes
  IdentitiesOnly yes
  BatchMode yes
CONF
mkdir -p /run/sshd
/usr/sbin/sshd -D -f "$scratch/sshd_config" -E "$scratch/sshd.log" &
sshd_pid=$!
for _ in $(seq 100); do
  ssh -F "$scratch/ssh_config" -p "$port2" 127.0.0.1 true 2>/dev/null && break
  sleep 0.05
done

cat >"$scratch/hosts" <<INV
local ansible_connection=local cfg=$scratch/local/vesk.cfg owner=0
one ansible_host=127.0.0.1 ansible_port=$port1 cfg=$scratch/one/vesk.cfg owner=0
two ansible_host=127.0.0.1 ansible_port=$port2 cfg=$scratch/two/vesk.cfg owner=4242
INV
export ANSIBLE_COLLECTIONS_PATH="$src/ansible" ANSIBLE_LOCALHOST_WARNING=false ANSIBLE_NOCOLOR=1
export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 ANSIBLE_HOST_KEY_CHECKING=true
# No ssh master left behind once the server has gone.
export ANSIBLE_SSH_ARGS="-F $scratch/ssh_config -o ControlMaster=no"
ansible-playbook -i "$scratch/hosts" -e "veskcfg_dir=$bin" "$src/tests/ansible/playbook.yml"
for host in local one two; do test -f "$scratch/$host/veskold.cfg"; done
doc=$(ansible-doc -t module vesk.tracker.vesk_config)
for part in "Brings the configuration file" "OPTIONS" "EXAMPLES" "RETURN VALUES"; do
  grep -q "$part" <<<"$doc" || { echo "ansible-doc shows no $part"; exit 1; }
done
