#!/usr/bin/env bash
# Writes the built-in sample card the way scripts/run.sh does, prints how long that took and
# how large it is, and then what the viewer's own reader finds on it: per recording its kind,
# length, frame size, fastest speed, largest G change, seconds without GPS fix, and the length
# of the whole route. Usage: bench/sample_card.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
card=$build/bench-data/sample-card
rm -rf "$card"
mkdir -p "$(dirname "$card")"
start=$(date +%s%N)
"$build/tools/tavrilo-gen" card "$card" >/dev/null
end=$(date +%s%N)
echo "generation: $(( (end - start) / 1000000 )) ms on $(nproc) cores"
echo "card size: $(du -sb "$card" | cut -f1) bytes in $(find "$card" -name '*.MP4' | wc -l) recordings"

cli=$build/tools/tavrilo-cli
"$cli" scan "$card" >"$card.scan.json"
for f in $(python3 -c 'import json,sys; [print(r["path"]) for r in json.load(open(sys.argv[1]))["recordings"]]' "$card.scan.json"); do
  "$cli" info "$f" >"$f.info.json"
  "$cli" track "$f" >"$f.track.json"
done
python3 - "$card.scan.json" <<'EOF'
import json, math, sys
scan = json.load(open(sys.argv[1]))
kinds, route_m, last = set(), 0.0, None
print(f"{'recording':28} {'kind':8} {'s':>5} {'size':>9} {'km/h':>5} {'max|dG|':>8} {'no fix s':>8}")
for r in scan["recordings"]:
    info = json.load(open(r["path"] + ".info.json"))
    track = json.load(open(r["path"] + ".track.json"))
    gps = track["gps"]
    kinds.add(r["event_label"])
    nofix = sum(1 for p in gps if not p["valid"]) / 10.0
    for p in gps:
        if not p["valid"]:
            continue
        if last is not None:
            dy = (p["lat"] - last[0]) * 111320.0
            dx = (p["lng"] - last[1]) * 111320.0 * math.cos(math.radians(p["lat"]))
            route_m += math.hypot(dx, dy)
        last = (p["lat"], p["lng"])
    folder = r["path"].split("/")[-2]
    print(f"{folder + '/' + r['name']:28} {r['event_label']:8} {info['video_seconds']:5.1f} "
          f"{str(info['width']) + 'x' + str(info['height']):>9} "
          f"{max(p['speed'] for p in gps):5.0f} {track['max_g']:8.2f} {nofix:8.1f}")
print(f"event kinds: {len(kinds)} ({', '.join(sorted(kinds))})")
print(f"route: {route_m / 1000:.2f} km")
EOF
