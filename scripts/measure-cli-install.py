#!/usr/bin/env python3
"""Time a headless profile install of N catalogue entries against the fake brew.

Usage: measure-cli-install.py CAIRNMOOR [--silent] [--runs 7] [--entries 200]

Builds a temporary HOME with a replacement catalogue of N entries (half casks, half
formulae), a profile listing all of them and the fake brew on PATH, then runs
Cairnmoor, and for comparison bash running the same manager commands back to back.
For each run it waits with WNOWAIT, so the process stays unreaped, and reads
/proc/<pid>/stat: utime+stime is the process's own CPU time (all threads),
cutime+cstime that of the children it waited for. Prints the medians. Linux only.
"""
import argparse, json, os, pwd, shutil, statistics, subprocess, tempfile, time
from pathlib import Path

fake = Path(__file__).resolve().parent.parent / "tests" / "fakes" / "brew"
parser = argparse.ArgumentParser()
parser.add_argument("cairnmoor")
parser.add_argument("--silent", action="store_true")
parser.add_argument("--runs", type=int, default=7)
parser.add_argument("--entries", type=int, default=200)
options = parser.parse_args()

root = Path(tempfile.mkdtemp(prefix="cairnmoor-measure-"))
home, state, bin_ = root / "home", root / "state", root / "bin"
(home / "Library/Application Support/Cairnmoor").mkdir(parents=True)
bin_.mkdir()
(bin_ / "brew").symlink_to(fake)
apps = [{"id": f"app{i:03}", "name": f"App {i}", "category": "Tools", "licence": "free",
         "homepage": "https://example.invalid", "summary": "-",
         "macos": {"brew": f"pkg{i:03}", "type": "cask" if i % 2 else "formula"}}
        for i in range(1, options.entries + 1)]
(home / "Library/Application Support/Cairnmoor/catalog.json").write_text(json.dumps(
    {"schema": 2, "updated": "-", "licences": {"free": "-"}, "categories": ["Tools"], "apps": apps}))
profile = root / "measure.cmprofile"
profile.write_text(json.dumps({"schema": 2, "created": "-", "apps": [a["id"] for a in apps],
    "options": {"packageManager": "homebrew", "skipInstalled": True, "upgradeIfPresent": True,
                "runUpdateFirst": False, "writeLog": True, "timeoutSeconds": 900}}))
direct = root / "direct.sh"
direct.write_text("brew list --cask >/dev/null 2>&1\nbrew list --formula >/dev/null 2>&1\n" + "".join(
    f"brew install {'--cask ' if a['macos']['type'] == 'cask' else ''}{a['macos']['brew']} >/dev/null 2>&1\n"
    for a in apps))
# Cairnmoor as root runs brew as the owner of brew, and refuses a root-owned one: measure
# as an ordinary user instead, as a person would run it.
as_user = []
if os.geteuid() == 0:
    user = pwd.getpwnam("nobody")
    subprocess.run(["chown", "-R", f"{user.pw_uid}:{user.pw_gid}", str(root)], check=True)
    as_user = ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--clear-groups", "--"]
env = {"HOME": str(home), "PATH": f"{bin_}:/usr/bin:/bin", "CAIRNMOOR_FAKE_STATE": str(state)}
tick = os.sysconf("SC_CLK_TCK")


def once(command):
    shutil.rmtree(state, ignore_errors=True)
    start = time.monotonic()
    process = subprocess.Popen(as_user + command, stdout=subprocess.DEVNULL, env=env, cwd=root)
    os.waitid(os.P_PID, process.pid, os.WEXITED | os.WNOWAIT)
    wall = time.monotonic() - start
    fields = Path(f"/proc/{process.pid}/stat").read_text().rsplit(")", 1)[1].split()
    own, children = ((int(fields[a]) + int(fields[b])) / tick for a, b in ((11, 12), (13, 14)))
    if process.wait() != 0:
        raise SystemExit(f"{command[0]} exited with status {process.returncode}: nothing measured")
    return wall, own, children


command = [os.path.abspath(options.cairnmoor), "--profile", str(profile)] + (["--silent"] if options.silent else [])
for name, argv in (("Cairnmoor", command), ("bash, same commands", ["bash", str(direct)])):
    runs = [once(argv) for _ in range(options.runs)]
    print(f"{name}: wall {statistics.median(r[0] for r in runs):.2f} s, "
          f"own CPU {statistics.median(r[1] for r in runs) * 1000:.0f} ms, "
          f"children CPU {statistics.median(r[2] for r in runs):.2f} s")
shutil.rmtree(root)
