#!/usr/bin/env python3
"""Compares id-reader-cli --json output with a folder's truth.jsonl.

    id-reader-cli --json DIR > results.jsonl
    scripts/score_pages.py DIR/truth.jsonl results.jsonl [--mirror DIR/mirror.jsonl] [--list]

A page is right when its status and reading are the truth's (or one of its
`accept` alternatives); a mirrored page (mirror.jsonl) is right as `review`
with the truth's reading. "Silent wrong": status ok with a reading that is not
the truth's. Corner error: the largest distance of the four corners from the
truth's, in block units.
"""
import json, math, os, sys

def load(path):
    out = {}
    for line in open(path):
        line = line.strip()
        if line:
            d = json.loads(line)
            out[(os.path.basename(d["file"]), d.get("page", 1))] = d
    return out

def main():
    args = sys.argv[1:]
    listing = "--list" in args
    args = [a for a in args if a != "--list"]
    mirror = {}
    if "--mirror" in args:
        i = args.index("--mirror")
        mirror = load(args[i + 1])
        del args[i:i + 2]
    truth, results = load(args[0]), load(args[1])
    truth.update(mirror)
    n = right = silent = readable = readable_right = missing = 0
    worst_corner, slow = 0.0, []
    turn_wrong = 0
    rows = []
    for key, t in sorted(truth.items()):
        r = results.get(key)
        n += 1
        if r is None:
            missing += 1
            rows.append((key, "MISSING", t["status"], t["reading"], "", ""))
            continue
        want = [(t["status"], t["reading"])] + [(a["status"], a["reading"]) for a in t.get("accept", [])]
        is_mirror = (key in mirror or t.get("mirrored") is True) and t["status"] != "not-found"
        if is_mirror:
            want = [("review", w[1]) for w in want]
        got = (r["status"], r["reading"] if r["status"] in ("ok", "review") else "")
        ok = got in want or (t["status"] == "not-found" and r["status"] == "not-found")
        right += ok
        if t["status"] != "not-found":
            readable += 1
            readable_right += ok
        if r["status"] == "ok" and (t["status"] != "ok" or r["reading"] != t["reading"] or is_mirror):
            silent += 1
        if "turn" in t and r.get("turn") is not None and (r["turn"] != t["turn"] or bool(r.get("mirrored")) != bool(t.get("mirrored"))):
            ok = False
            turn_wrong += 1
        corner = None
        if t.get("corners") and r.get("registration"):
            u = t["unit_px"]
            corner = max(math.dist(a, b) for a, b in zip(t["corners"], r["registration"]["corners"])) / u
            if ok:
                worst_corner = max(worst_corner, corner)
        if r.get("ms", 0) > 2000:
            slow.append((key, r["ms"]))
        if listing or not ok:
            rows.append((key, "ok" if ok else "WRONG", f'{t["status"]} {t["reading"]}', f'{r["status"]} {r["reading"]}',
                         "" if corner is None else f"{corner:.2f}u", f'{r.get("ms", 0):.0f}ms {r.get("turn", "")} {r.get("mirrored", "")} {(r.get("why") or "")[:70]}'))
    for row in rows:
        print(f"{row[0][0]}:{row[0][1]}  {row[1]:5}  truth {row[2]:<18} got {row[3]:<18} {row[4]:>7} {row[5]}")
    print(f"pages {n}  right {right}  readable {readable}  readable right {readable_right} "
          f"({100.0 * readable_right / max(readable, 1):.1f} %)  silent wrong {silent}  missing {missing}  "
          f"worst corner (right pages) {worst_corner:.2f} units  over 2 s: {len(slow)}  turn/mirror wrong {turn_wrong}")
    return 0

if __name__ == "__main__":
    sys.exit(main())
