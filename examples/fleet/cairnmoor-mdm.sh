#!/bin/bash
# Installs a Cairnmoor profile on this Mac for an MDM agent, which runs it as root and
# without a terminal. The profile and the report file are taken from the arguments in
# either agent's convention, else from the environment, else from the two lines below:
#
#   cairnmoor-mdm.sh PROFILE [REPORT]                  by hand, or agents that pass them so
#   cairnmoor-mdm.sh MOUNT COMPUTER USER PROFILE [REPORT]
#                                                      Jamf Pro: its own three first, then
#                                                      script parameters 4 and 5
#   CAIRNMOOR_PROFILE=... [CAIRNMOOR_REPORT=...] cairnmoor-mdm.sh
#                                                      no arguments (Intune passes none
#                                                      and no environment either: write
#                                                      the defaults below into the copy
#                                                      you upload)
#
# PROFILE is a path or an http(s) URL of a *.cmprofile. REPORT is where the JSON report
# goes (default /Library/Logs/Cairnmoor/fleet-report.json); the log goes beside it,
# named after the time. Prints one summary line for the MDM's log and exits with
# Cairnmoor's status: 0 all well, 1 a package failed or Homebrew is missing or unusable,
# 2 the profile names apps the catalogue does not have (or a usage error).
#
# Cairnmoor itself runs Homebrew as the user who owns it, since Homebrew refuses root.
# Casks that install a .pkg run sudo, and with no terminal and no window to ask for the
# password they fail at once ("it needed an administrator password"). Either allow the
# brew owner that one command without a password (visudo -f /etc/sudoers.d/cairnmoor:
#   ann ALL=(root) NOPASSWD: /usr/sbin/installer
# with ann the owner of /opt/homebrew; match it to the sudo command lines the log shows,
# and never allow a shell or `env` with any arguments), or keep those casks out of the
# profile and deploy their .pkg through the MDM itself.
# Set CAIRNMOOR to use a Cairnmoor other than the one in /Applications.
set -u

default_profile="${CAIRNMOOR_PROFILE:-}"
default_report="${CAIRNMOOR_REPORT:-/Library/Logs/Cairnmoor/fleet-report.json}"

cairnmoor="${CAIRNMOOR:-/Applications/Cairnmoor.app/Contents/MacOS/Cairnmoor}"
case $# in
0) source="" report="" ;;
1 | 2) source="$1" report="${2:-}" ;;
# Jamf passes its three, then parameters 4 to 11, empty where not set.
*) source="${4:-}" report="${5:-}" ;;
esac
source="${source:-$default_profile}"
report="${report:-$default_report}"
if [[ -z "$source" ]]; then
    echo "usage: $0 PROFILE-PATH-OR-URL [REPORT-FILE]" >&2
    echo "   or: $0 MOUNT COMPUTER USER PROFILE-PATH-OR-URL [REPORT-FILE]  (Jamf Pro)" >&2
    echo "   or: CAIRNMOOR_PROFILE=PROFILE-PATH-OR-URL $0" >&2
    exit 2
fi
log="$(dirname "$report")/fleet-$(date +%Y%m%d-%H%M%S).log"

# Whoever sits at the screen, for the MDM's log: root or nobody at the login window.
if [[ "$(uname -s)" == Darwin ]]; then
    console_user="$(stat -f %Su /dev/console 2>/dev/null)"
else
    console_user="$(stat -c %U /dev/console 2>/dev/null)"
fi
case "$console_user" in
"" | root | _mbsetupuser | loginwindow) console_user="nobody logged in" ;;
esac

work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-mdm.XXXXXX")" || exit 1
trap 'rm -rf "$work"' EXIT
profile="$work/profile.cmprofile"
case "$source" in
http://* | https://*)
    if ! curl --fail --silent --show-error --location --max-time 300 \
        --output "$profile" "$source" 2>"$work/curl.err"; then
        echo "Cairnmoor: could not fetch the profile $source: $(tr '\n' ' ' <"$work/curl.err")"
        exit 1
    fi
    ;;
*)
    if ! cp "$source" "$profile" 2>/dev/null; then
        echo "Cairnmoor: could not read the profile $source"
        exit 1
    fi
    ;;
esac

if [[ ! -x "$cairnmoor" ]]; then
    echo "Cairnmoor: not installed at $cairnmoor"
    exit 1
fi
mkdir -p "$(dirname "$report")"
# An earlier run's report must never pass for this one's.
rm -f "$report"
"$cairnmoor" --profile "$profile" --silent --report "$report" --log "$log" \
    >"$work/out" 2>"$work/err" </dev/null
status=$?

# One value of the report; plutil reads JSON on a Mac, python3 elsewhere.
field() {
    if command -v plutil >/dev/null; then
        plutil -extract "$1" raw -o - "$report" 2>/dev/null
    else
        python3 -c 'import json, sys
value = json.load(open(sys.argv[1]))
for key in sys.argv[2].split("."):
    value = value[key]
print("" if value is None else value)' "$report" "$1" 2>/dev/null
    fi
}

if [[ -s "$report" ]]; then
    summary="$(field outcome):"
    for state in installed upgraded alreadyInstalled installedOutside skipped failed; do
        summary+=" $(field "totals.$state") $state,"
    done
    error="$(field error)"
    if [[ -n "$error" ]]; then
        summary+=" $error,"
    fi
    echo "Cairnmoor $summary status $status, console user $console_user, report $report"
else
    echo "Cairnmoor: status $status, no report: $(tr '\n' ' ' <"$work/err")"
fi
exit "$status"
