#!/usr/bin/env bash
# Fails on C and C++ names that macOS lacks, so a Linux build cannot quietly drift away from
# the Mac: Linux-only constants and calls, procfs paths, glibc-only and libstdc++-internal
# headers. Files that are Linux-only by name (*_linux.*) are skipped, and so is code that
# cannot be compiled on Apple systems (#if defined(__linux__), #ifndef __APPLE__, the #else
# of #ifdef __APPLE__, #if 0). Comments are ignored; string literals are not (/proc).
#
#   scripts/check-portability.sh [PATH...]   check these files or folders (default: the sources)
#   scripts/check-portability.sh --self-test plant misuses in a scratch tree and require
#                                            that exactly those are reported
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# Uses that are portable in practice although they name something macOS lacks, each with
# its reason: "path:name".
allowed=(
    # Reads resident memory from /proc, and takes it as 0 where there is none.
    "tests/soak/SoakTest.cpp:/proc"
    # Open apps elsewhere than on a Mac are found through /proc; the Mac has its own file.
    "CairnmoorCore/platform/RunningApps_other.cpp:/proc"
    # Used only where defined; SO_NOSIGPIPE on the socket otherwise.
    "CairnmoorCore/managers/AskpassChannel.cpp:MSG_NOSIGNAL"
)

read -r -d '' rules <<'RULES' || true
name	HOST_NAME_MAX	not defined on macOS: use sysconf(_SC_HOST_NAME_MAX), 255 when it says nothing
name	SOCK_CLOEXEC	Linux-only socket flag: set FD_CLOEXEC with fcntl
name	SOCK_NONBLOCK	Linux-only socket flag: set O_NONBLOCK with fcntl
name	O_PATH	Linux-only open flag
name	O_TMPFILE	Linux-only open flag
name	O_NOATIME	Linux-only open flag
name	MSG_NOSIGNAL	not on macOS: set SO_NOSIGPIPE on the socket or ignore SIGPIPE
name	TEMP_FAILURE_RETRY	glibc macro: use posix::retryOnInterrupt
name	SIGRTMIN	no real-time signals on macOS
name	SIGRTMAX	no real-time signals on macOS
name	CLOCK_BOOTTIME	Linux-only clock
name	program_invocation_name	glibc only
name	program_invocation_short_name	glibc only
name	__gnu_cxx	libstdc++ extension: not in libc++
name	__cxx11	libstdc++ ABI namespace: not in libc++
call	pipe2	not on macOS: pipe, then fcntl(FD_CLOEXEC) on both ends
call	accept4	not on macOS: accept, then fcntl
call	dup3	not on macOS: dup2, then fcntl(FD_CLOEXEC)
call	execvpe	glibc only: posix_spawnp with an environment
call	ppoll	not on macOS: poll
call	epoll_create	Linux only: poll or kqueue
call	epoll_create1	Linux only: poll or kqueue
call	epoll_ctl	Linux only: poll or kqueue
call	epoll_wait	Linux only: poll or kqueue
call	inotify_init	Linux only
call	inotify_init1	Linux only
call	inotify_add_watch	Linux only
call	signalfd	Linux only: a self-pipe or kqueue
call	eventfd	Linux only: a pipe
call	timerfd_create	Linux only
call	memfd_create	Linux only
call	prctl	Linux only
call	close_range	not on macOS
call	copy_file_range	Linux only
call	sendfile	different arguments on macOS
call	getrandom	not on macOS: getentropy
call	gettid	not on macOS: pthread_threadid_np
call	sched_getaffinity	Linux only
call	sched_setaffinity	Linux only
call	pthread_setname_np	macOS names only the calling thread and takes just the name
call	pthread_getattr_np	glibc only
call	clearenv	glibc only
call	secure_getenv	glibc only
call	get_current_dir_name	glibc only: getcwd
call	canonicalize_file_name	glibc only: realpath or std::filesystem::canonical
call	memrchr	glibc only
call	rawmemchr	glibc only
call	strchrnul	glibc only
call	mempcpy	glibc only
call	qsort_r	arguments in another order on macOS
call	strerror_r	returns char* with glibc, int on macOS: use std::strerror or std::generic_category()
call	sigtimedwait	not on macOS
call	sigwaitinfo	not on macOS
call	posix_fallocate	not on macOS
call	fallocate	Linux only
call	posix_fadvise	not on macOS
call	syncfs	Linux only
call	statx	Linux only
call	malloc_usable_size	glibc only: malloc_size on macOS
call	mallinfo	glibc only
call	posix_spawn_file_actions_addclosefrom_np	glibc only
text	/proc(/|")	no /proc on macOS
include	(features|malloc|error|argz|envz|mcheck|obstack|printf|endian|byteswap|mntent|pty|crypt|shadow|values)\.h	glibc-only header
include	sys/(sysinfo|prctl|epoll|inotify|signalfd|eventfd|timerfd|sendfile|vfs|statfs|auxv|personality|fsuid|klog|io)\.h	Linux-only header
include	(linux|asm|gnu)/	Linux kernel or glibc header
include	(bits|ext)/	libstdc++ internal or extension header: not in libc++
RULES

# Prints one "path:line: name: why" per use and exits 1 when there is any.
scan() {
    local -a files=()
    local path
    while IFS= read -r -d '' path; do
        files+=("$path")
    done < <(find "$@" -type f \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.cxx' \
        -o -name '*.h' -o -name '*.hpp' -o -name '*.m' -o -name '*.mm' \) ! -name '*_linux.*' -print0 |
        sort -z)
    ((${#files[@]} > 0)) || return 0
    printf '%s\n' "$rules" >"$work/rules"
    printf '%s\n' "${allowed[@]}" >"$work/allowed"
    awk -v rulesFile="$work/rules" -v allowedFile="$work/allowed" '
    BEGIN {
        FS = "\t"
        while ((getline line < rulesFile) > 0) {
            if (line == "") continue
            split(line, f, "\t")
            n++; kind[n] = f[1]; what[n] = f[2]; why[n] = f[3]
        }
        while ((getline line < allowedFile) > 0) if (line != "") allow[line] = 1
        word = "[A-Za-z0-9_]"
        found = 0
    }
    # The line with comments blanked out; string and character literals are kept.
    function code(text,    out, i, c, d, quote) {
        out = ""; quote = ""
        for (i = 1; i <= length(text); i++) {
            c = substr(text, i, 1); d = substr(text, i, 2)
            if (inComment) {
                if (d == "*/") { inComment = 0; i++ }
                out = out " "
            } else if (quote != "") {
                out = out c
                if (c == "\\") { out = out substr(text, i + 1, 1); i++ }
                else if (c == quote) quote = ""
            } else if (d == "//") {
                break
            } else if (d == "/*") {
                inComment = 1; i++; out = out "  "
            } else {
                if (c == "\"" || c == "\047") quote = c
                out = out c
            }
        }
        return out
    }
    # Whether a condition holds on no Apple system ("never"), only there ("apple"), or
    # cannot be told ("other").
    function classify(condition,    alternatives, count, i) {
        gsub(/[ \t]+/, "", condition)
        if (condition == "0") return "never"
        if (condition ~ /^!(defined)?\(?(__APPLE__|__MACH__)\)?$/) return "never"
        if (condition ~ /!/) return "other"
        if (condition ~ /__APPLE__|__MACH__/) return condition ~ /\|\|/ ? "other" : "apple"
        count = split(condition, alternatives, /\|\|/)
        for (i = 1; i <= count; i++)
            if (alternatives[i] !~ /__linux__|__linux|__gnu_linux__|__GLIBC__|__FreeBSD__|__NetBSD__|__OpenBSD__|__ANDROID__|_WIN32/)
                return "other"
        return "never"
    }
    function excluded(    d) {
        for (d = 1; d <= depth; d++) if (skip[d]) return 1
        return 0
    }
    FNR == 1 { inComment = 0; depth = 0; path = FILENAME; sub(/^\.\//, "", path) }
    {
        text = code($0)
        if (text ~ /^[ \t]*#[ \t]*(if|ifdef|ifndef|elif|else|endif)([^A-Za-z0-9_]|$)/) {
            directive = text; sub(/^[ \t]*#[ \t]*/, "", directive)
            keyword = directive; sub(/[^A-Za-z].*$/, "", keyword)
            condition = substr(directive, length(keyword) + 1)
            if (keyword == "ifdef") condition = "defined(" condition ")"
            if (keyword == "ifndef") condition = "!defined(" condition ")"
            kindOf = classify(condition)
            if (keyword == "if" || keyword == "ifdef" || keyword == "ifndef") {
                depth++; skip[depth] = kindOf == "never"; apple[depth] = kindOf == "apple"
            } else if (keyword == "elif") {
                skip[depth] = apple[depth] || kindOf == "never"; apple[depth] = apple[depth] || kindOf == "apple"
            } else if (keyword == "else") {
                skip[depth] = apple[depth]
            } else if (keyword == "endif" && depth > 0) {
                depth--
            }
            next
        }
        if (excluded()) next
        isInclude = text ~ /^[ \t]*#[ \t]*include[ \t]*</
        for (i = 1; i <= n; i++) {
            label = what[i]
            if (kind[i] == "name") hit = text ~ ("(^|[^A-Za-z0-9_])" what[i] "([^A-Za-z0-9_]|$)")
            else if (kind[i] == "call") hit = text ~ ("(^|[^A-Za-z0-9_.>])" what[i] "[ \t]*\\(")
            else if (kind[i] == "text") hit = match(text, what[i])
            else hit = isInclude && match(text, "<" what[i] "[^>]*")
            if (hit && kind[i] != "name" && kind[i] != "call") {
                label = substr(text, RSTART, RLENGTH); sub(/^</, "", label); sub(/[\/"]$/, "", label)
            }
            if (hit && !((path ":" label) in allow)) {
                printf "%s:%d: %s: %s\n", path, FNR, label, why[i]
                found = 1
            }
        }
    }
    END { exit found }
    ' "${files[@]}"
}

work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-portability.XXXXXX")"
trap 'rm -rf "$work"' EXIT

if [[ "${1:-}" != --self-test ]]; then
    cd "$root"
    if (($# == 0)); then
        set -- CairnmoorCore app tests bench fuzz
    fi
    if scan "$@"; then
        echo "portability: nothing macOS lacks"
        exit 0
    fi
    echo "portability: the uses above do not build or work on macOS" >&2
    exit 1
fi

# Self-test: every line marked "planted" must be reported, and nothing else.
planted="$work/planted"
mkdir -p "$planted"
cat >"$planted/misuse.cpp" <<'CODE'
#include <bits/stdc++.h> // planted
#include <sys/epoll.h> // planted
#include <string>
char name[HOST_NAME_MAX + 1]; // planted
long limit = sysconf(_SC_HOST_NAME_MAX);
std::ifstream statm("/proc/self/statm"); // planted
int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0); // planted
int c = ::accept4(s, nullptr, nullptr, 0); // planted
int f = open(".", O_PATH); // planted
__gnu_cxx::stdio_filebuf<char>* buffer; // planted
/* pipe2(ends, 0) in a comment
   over two lines, HOST_NAME_MAX */ int after = 0;
items.prctl(1); // a member of that name is someone else's
#if defined(__linux__) || defined(__FreeBSD__)
int a = pipe2(ends, O_CLOEXEC);
#elif defined(__APPLE__)
int b = pipe(ends);
#else
int d = dup3(1, 2, 0);
#endif
#ifdef __APPLE__
int e = pipe(ends);
#else
int g = execvpe("x", argv, envp);
#endif
#ifndef __APPLE__
int h = eventfd(0, 0);
#endif
#if 0
int i = gettid();
#endif
#ifdef __linux__
#  ifdef SOMETHING
int j = signalfd(-1, nullptr, 0);
#  endif
#else
int k = pipe2(ends, 0); // planted
#endif
#if defined(__linux__) || defined(USE_PIPE2)
int l = pipe2(ends, 0); // planted
#endif
CODE
cp "$planted/misuse.cpp" "$planted/Pipe_linux.cpp"
grep -n '// planted$' "$planted/misuse.cpp" | cut -d: -f1 | sed 's|^|misuse.cpp:|' | sort >"$work/expected"
status=0
(cd "$planted" && scan .) >"$work/report" || status=$?
cut -d: -f1,2 "$work/report" | sort -u >"$work/reported"
if ((status == 1)) && diff -u "$work/expected" "$work/reported"; then
    echo "portability self-test: $(wc -l <"$work/expected") planted uses reported, nothing else"
    exit 0
fi
echo "portability self-test failed (status $status); report:" >&2
cat "$work/report" >&2
exit 1
