#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# On a machine with a real NVIDIA GPU and its driver: the sensor server's NVIDIA figures beside nvidia-smi's. Each
# card nvidia-smi lists must be in `VOViredo --dump` under the same name, with a temperature within 2 °C and a load
# within 10 % of nvidia-smi's (both read within a second of each other). Prints both and a verdict; exit code 0 when
# every card matches.
# Usage: tools/nvml_check.sh [VOViredo]   (default: build/voviredo/VOViredo, else the installed one)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
server="${1:-$here/../build/voviredo/VOViredo}"
[ -x "$server" ] || server=/usr/libexec/orvane/voviredo/VOViredo
command -v nvidia-smi >/dev/null || { echo "nvidia-smi not found: no NVIDIA driver here" >&2; exit 2; }

smi="$(nvidia-smi --query-gpu=name,temperature.gpu,utilization.gpu --format=csv,noheader,nounits)"
dump="$("$server" --dump)"
echo "nvidia-smi:"
echo "$smi" | sed 's/^/  /'
python3 - "$smi" "$dump" <<'PY'
import sys
import xml.etree.ElementTree as ET

smi_text, dump = sys.argv[1:]
ours = []
for hw in ET.fromstring(dump).iter("Hardware"):
    if hw.get("HardwareType") != "Gpu" or not hw.get("Name", "").startswith("NVIDIA"):
        continue
    figures = {s.get("SensorType"): float(s.get("Value")) for s in hw.iter("Sensor") if s.get("Name") == "GPU Core"}
    fans = [s.get("Value") for s in hw.iter("Sensor") if s.get("SensorType") == "Fan"]
    ours.append((hw.get("Name"), figures.get("Temperature"), figures.get("Load"), fans))
print("VOViredo --dump:")
for name, temp, load, fans in ours:
    print(f"  {name}, {temp} °C, {load} %, fans {', '.join(fans) or 'none'} RPM")

ok = True
for line in filter(None, smi_text.splitlines()):
    name, temp, load = [part.strip() for part in line.rsplit(",", 2)]
    match = next((o for o in ours if o[0].split(" #")[0] == name), None)
    if match is None:
        print(f"MISMATCH: {name} is not in the document")
        ok = False
        continue
    ours.remove(match)
    problems = []
    if match[1] is None or abs(match[1] - float(temp)) > 2:
        problems.append(f"temperature {match[1]} vs {temp}")
    if load not in ("[N/A]", "N/A") and (match[2] is None or abs(match[2] - float(load)) > 10):
        problems.append(f"load {match[2]} vs {load}")
    print(("MISMATCH: " if problems else "ok: ") + name + (": " + "; ".join(problems) if problems else ""))
    ok = ok and not problems
sys.exit(0 if ok else 1)
PY
