#!/usr/bin/env bash
# Opening and saving over ssh against the local disk (bench/remote.cpp): a
# loopback sshd with its own keys in a temporary folder, logged in to as
# root, stopped at the end. Also times one bare connection, for reference.
#   bench/remote.sh [BUILD_DIR]   (configured with -DVESK_BENCH=ON)
set -euo pipefail
build=${1:-build-bench}
cmake --build "$build" --target vesk_remote veskcfg >/dev/null
dir=$(mktemp -d)
trap 'kill $(cat "$dir/sshd.pid" 2>/dev/null) 2>/dev/null; rm -rf "$dir"' EXIT
chmod 755 "$dir"
ssh-keygen -q -t ed25519 -N '' -f "$dir/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$dir/client_key"
cp "$dir/client_key.pub" "$dir/authorized_keys"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$dir/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $port
HostKey $dir/host_key
AuthorizedKeysFile $dir/authorized_keys
PidFile $dir/sshd.pid
UsePAM no
StrictModes no
PasswordAuthentication no
PermitRootLogin prohibit-password
LogLevel ERROR
CONF
echo "[127.0.0.1]:$port $(cat "$dir/host_key.pub")" >"$dir/known_hosts"
cat >"$dir/ssh_config" <<CONF
Host *
  IdentityFile $dir/client_key
  UserKnownHostsFile $dir/known_hosts
  IdentitiesOnly yes
  BatchMode yes
CONF
mkdir -p /run/sshd
/usr/sbin/sshd -f "$dir/sshd_config"
sleep 0.5
start=$(date +%s%N)
for _ in 1 2 3 4 5; do ssh -F "$dir/ssh_config" -p "$port" root@127.0.0.1 true; done
echo "one ssh connection (mean of 5): $(( ($(date +%s%N) - start) / 5000000 )) ms"
mkdir -p "$dir/files"
VESK_SSH="ssh -F $dir/ssh_config" VESKCFG="$PWD/$build/veskcfg" \
  "$build/bench/vesk_remote" "$dir/files" "ssh://root@127.0.0.1:$port" "${2:-15}"
