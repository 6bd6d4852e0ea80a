#!/usr/bin/env python3
"""Compares `korvane check --json` on a machine with the same check on a report saved there.

Field by field, per stream: registered, where, entry, value, found, loads, ready; per file:
playable on the Video for Windows path, the only one a report holds facts for (the machine's
`paths.vfw.playable` where it also has DirectShow's). A field the report gives must be the machine's; a field it does not give (null)
must come with what it lacks and what to ask for. With --whole the report was made with
every test on and not cut: every field must be there.
Usage: compare_checks.py MACHINE.json REPORT.json [--whole]   (exit 1 on a difference)
"""
import json
import sys

STREAM_FIELDS = ("registered", "where", "entry", "value", "found", "loads", "ready")


def differences(machine, report, whole):
    found = []
    for mfile, rfile in zip(machine["files"], report["files"]):
        name = mfile["file"]
        if len(mfile.get("streams", [])) != len(rfile.get("streams", [])):
            found.append(f"{name}: {len(rfile.get('streams', []))} streams in the report's check")
            continue
        for mstream, rstream in zip(mfile.get("streams", []), rfile.get("streams", [])):
            mdec, rdec = mstream.get("decoder"), rstream.get("decoder")
            if mdec is None or rdec is None or not mdec["needed"]:
                continue
            where = f"{name} stream {mstream['index']}"
            unknown = rdec.get("ready") is None
            if unknown and (whole or not rdec.get("unknown", {}).get("askFor")):
                found.append(f"{where}: unknown without reason, or in a whole report: {rdec}")
            for field in STREAM_FIELDS:
                if field not in rdec or rdec[field] is None:
                    continue
                # A decoder whose readiness is unknown may name another entry than the machine.
                if unknown and field not in ("registered",):
                    continue
                # With a place unlisted, the report may name another entry that loads than
                # the one Windows would take first; that one loads all the same.
                if not whole and rdec.get("loads") and field in ("where", "entry", "value"):
                    continue
                if rdec[field] != mdec.get(field):
                    found.append(f"{where}: {field} {rdec[field]!r}, machine {mdec.get(field)!r}")
        if rfile.get("paths") is not None:
            found.append(f"{name}: the report's check names other paths: {rfile['paths']}")
        paths = mfile.get("paths")
        mplayable = paths["vfw"]["playable"] if paths else mfile["playable"]
        if rfile.get("playable") is None:
            if whole or not rfile.get("askFor"):
                found.append(f"{name}: playable unknown without what to ask for")
        elif rfile["playable"] != mplayable:
            found.append(f"{name}: playable {rfile['playable']}, machine {mplayable}")
    if len(machine["files"]) != len(report["files"]):
        found.append("not the same files")
    return found


def main():
    args = [a for a in sys.argv[1:] if a != "--whole"]
    with open(args[0]) as m, open(args[1]) as r:
        found = differences(json.load(m), json.load(r), "--whole" in sys.argv)
    for line in found[:20]:
        print(line)
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
