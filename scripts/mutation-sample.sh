#!/usr/bin/env bash
# Measures what the test suite catches: applies each of a fixed list of small, realistic
# faults to the product code, one at a time, builds and runs the test programs that cover
# it one by one (Debug, in its own build folder) until one fails, and restores the file. A
# mutation is caught when one of its programs fails or exceeds its time limit. The soak
# program is never run.
#
# Usage: scripts/mutation-sample.sh [options]
#   --area A[,B...]   only the mutations of these areas (see --list)
#   --id ID[,ID...]   only these mutations
#   --list            print the mutations and whether each text is found; change nothing
#   --markdown FILE   also write the result table as Markdown
#   --build DIR       build folder (default build/mutation)
#   --limit SECONDS   time limit per test program (default: 3 x its unchanged run + 60)
#   --jobs N          parallel build jobs (default 2)
#
# The list below is data: an original text that is not found exactly once (because the
# code moved on) is reported "n/a", never skipped silently; update the entry instead.
set -euo pipefail
cd "$(dirname "$0")/.."

# One block per mutation, blocks separated by blank lines. Keys:
#   id, area, what    name, area, and the fault in a few words
#   file              the product file, relative to the repository root
#   from, to          the exact original text and its replacement (to may be empty);
#                     from+ / to+ lines continue them on a new line
#   tests             the test programs that cover the code, the most direct first
mutations() {
    cat <<'EOF'
id: runner-piece-cut
area: runner
what: an over-long line's cut steps back 2 bytes instead of 3
file: CairnmoorCore/managers/process/LineSplitter.cpp
from: for (int back = 0; back < 3 &&
to: for (int back = 0; back < 2 &&
tests: test_managers test_install test_cli

id: runner-timeout-flag
area: runner
what: a run stopped at its time limit is not reported as timed out
file: CairnmoorCore/managers/ProcessRunner.cpp
from: timedOut_ = true;
to: timedOut_ = false;
tests: test_managers test_install test_cli

id: runner-last-line
area: runner
what: the last line without a line feed is never flushed
file: CairnmoorCore/managers/ProcessRunner.cpp
from: output_.lines.finish();
to:
tests: test_managers test_install test_cli

id: runner-signal-status
area: runner
what: a child ended by a signal reports 128 + the signal
file: CairnmoorCore/managers/ProcessRunner.cpp
from: return WTERMSIG(status);
to: return 128 + WTERMSIG(status);
tests: test_managers test_install test_cli

id: engine-macports-probe-twice
area: engine
what: the MacPorts inventory is taken twice
file: CairnmoorCore/install/SurveyTaker.cpp
from: if (manager == PackageManager::homebrew) {
from+:         survey.casks = InstalledProbe::installed(packageManagerPath, manager, true, runner_, log);
to: if (true) {
to+:         survey.casks = InstalledProbe::installed(packageManagerPath, manager, true, runner_, log);
tests: test_install test_cli test_views

id: engine-skip-beats-upgrade
area: engine
what: skip-if-installed wins over upgrade-if-present
file: CairnmoorCore/install/InstallPlan.cpp
from: entry.action = options.upgradeIfPresent ? PlannedAction::upgrade
to: entry.action = !options.skipInstalled ? PlannedAction::upgrade
tests: test_install test_cli test_views

id: engine-update-failure
area: engine
what: a failed update no longer stops the run
file: CairnmoorCore/install/InstallEngine.cpp
from: if (!result.succeeded()) {
to: if (result.cancelled) {
tests: test_install test_cli test_views

id: engine-upgrade-absent
area: engine
what: packages that are not installed are "upgraded"
file: CairnmoorCore/install/InstallPlan.cpp
from: manager.arguments(entry.app, entry.action == PlannedAction::upgrade);
to: manager.arguments(entry.app, entry.action != PlannedAction::adopt);
tests: test_install test_cli test_views

id: runner-cancel-after-exit
area: runner
what: a cancel that comes while an exited child's pipe drains still marks it cancelled
file: CairnmoorCore/managers/ProcessRunner.cpp
from: return; // its status alone decides the result
to: (void)0; // its status alone decides the result
tests: test_managers test_install test_cli

id: runner-ctrl-z-ignored
area: runner
what: Ctrl-Z at a lent terminal stops the manager but not the run
file: CairnmoorCore/managers/ProcessRunner.cpp
from: if (stopSignal != SIGTSTP && stopSignal != SIGTTIN && stopSignal != SIGTTOU) {
to: if (stopSignal != SIGTTIN && stopSignal != SIGTTOU) {
tests: test_cli

id: plan-app-store-replaced
area: engine
what: an App Store app is replaced like any other
file: CairnmoorCore/install/InstallPlan.cpp
from: entry.action = found->second.fromAppStore || options.existingApps == ExistingApps::skip
to: entry.action = options.existingApps == ExistingApps::skip
tests: test_install test_cli test_views

id: probe-list-flags
area: probe
what: the cask and formula inventory flags are swapped
file: CairnmoorCore/managers/BrewCommandBuilder.cpp
from: return {"list", cask ? "--cask" : "--formula"};
to: return {"list", cask ? "--formula" : "--cask"};
tests: test_managers test_install test_cli test_export

id: probe-nbsp-trim
area: probe
what: a no-break space around a name is not trimmed
file: CairnmoorCore/managers/InstalledProbe.cpp
from: c == 0x85 || c == 0xA0 ||
to: c == 0x85 ||
tests: test_managers test_install

id: trust-group-writable
area: trust check
what: a group-writable entry on the MacPorts path is trusted
file: CairnmoorCore/managers/MacPortsExecutable.cpp
from: if ((*attributes.posixPermissions & 022) != 0) {
to: if ((*attributes.posixPermissions & 002) != 0) {
tests: test_managers test_cli

id: trust-acl-deny
area: trust check
what: ACL lines are judged by "deny" instead of "allow"
file: CairnmoorCore/managers/MacPortsExecutable.cpp
from: if (line.find(" allow ") != std::string_view::npos && grantsChange(line)) {
to: if (line.find(" deny ") != std::string_view::npos && grantsChange(line)) {
tests: test_managers test_cli

id: names-macports-slash
area: name rules
what: MacPorts names accept Homebrew's "/" and "@"
file: CairnmoorCore/managers/PackageManager.cpp
from: if (!common && !(value_ == homebrew && homebrewOnly)) {
to: if (!common && !homebrewOnly) {
tests: test_managers test_install test_export test_catalogue test_cli test_views

id: names-leading-hyphen
area: name rules
what: a name may start with a hyphen (read as an option)
file: CairnmoorCore/managers/PackageManager.cpp
from: if (name.empty() || !isAsciiAlphanumeric(name.front())) {
to: if (name.empty()) {
tests: test_managers test_install test_export test_catalogue test_cli test_views

id: profile-timeout-zero
area: profile
what: a timeout of 0 seconds is accepted
file: CairnmoorCore/install/Profile.cpp
from: if (options.timeoutSeconds < 1) {
to: if (options.timeoutSeconds < 0) {
tests: test_install test_faults test_catalogue test_cli test_views

id: profile-written-field
area: profile
what: upgradeIfPresent is written with skipInstalled's value
file: CairnmoorCore/install/Profile.cpp
from: {"upgradeIfPresent", options.upgradeIfPresent},
to: {"upgradeIfPresent", options.skipInstalled},
tests: test_install test_faults test_catalogue test_cli test_views

id: profile-writelog-optional
area: profile
what: a missing writeLog is taken as true instead of refused
file: CairnmoorCore/install/Profile.cpp
from: options.writeLog = JsonReading::requireBool(value, "writeLog");
to: options.writeLog = JsonReading::optionalBool(value, "writeLog").value_or(true);
tests: test_install test_faults test_catalogue test_cli test_views

id: catalogue-recommended-key
area: catalogue
what: "recommended" is read from a misspelt key
file: CairnmoorCore/catalogue/CatalogLoader.cpp
from: .recommended = JsonReading::optionalBool(value, "recommended"),
to: .recommended = JsonReading::optionalBool(value, "recommend"),
tests: test_catalogue test_faults test_cli test_views

id: catalogue-override-folder
area: catalogue
what: the replacement is looked for in the last support folder
file: CairnmoorCore/catalogue/CatalogLoader.cpp
from: : supportDirectories.front();
to: : supportDirectories.back();
tests: test_catalogue test_faults test_cli test_views

id: catalogue-unreadable-replacement
area: catalogue
what: an unreadable replacement (or additions file) throws instead of being passed over
file: CairnmoorCore/catalogue/CatalogLoader.cpp
from: } catch (const std::exception& error) {
from+:         reason = error.what();
from+:     }
from+:     while (!reason.empty() && reason.back() == '.') {
to: }
to+:     while (!reason.empty() && reason.back() == '.') {
tests: test_catalogue test_faults test_cli test_views

id: search-summary-field
area: search
what: the homepage is searched instead of the summary
file: CairnmoorCore/catalogue/CatalogSearch.cpp
from: fieldContains(entry.summary, loweredQuery, ascii);
to: fieldContains(entry.homepage, loweredQuery, ascii);
tests: test_catalogue test_views

id: search-last-position
area: search
what: a match at the very end of an ASCII field is missed
file: CairnmoorCore/catalogue/CatalogSearch.cpp
from: const std::size_t end = field.size() - loweredQuery.size() + 1;
to: const std::size_t end = field.size() - loweredQuery.size();
tests: test_catalogue test_views

id: search-dotted-capital-i
area: search
what: U+0130 lower-cases to a bare "i"
file: CairnmoorCore/catalogue/CatalogSearch.cpp
from: result += "i\xCC\x87";
to: result += "i";
tests: test_catalogue test_views

id: search-normalise-skip
area: search
what: combining marks U+0300-U+033F skip composition
file: CairnmoorCore/catalogue/CatalogSearch.cpp
from: [](char c) { return static_cast<unsigned char>(c) >= 0xCC; })) {
to: [](char c) { return static_cast<unsigned char>(c) >= 0xCD; })) {
tests: test_catalogue test_views

id: export-quote-escape
area: exporter
what: a single quote inside a quoted text is escaped as \'
file: CairnmoorCore/export/ScriptExporter.cpp
from: quoted += "'\\''";
to: quoted += "\\'";
tests: test_export test_views

id: export-tilde-safe
area: exporter
what: "~" counts as safe and stays unquoted
file: CairnmoorCore/export/ScriptExporter.cpp
from: c == '_' || c == '/' || c == '@' || c == '-';
to: c == '_' || c == '/' || c == '@' || c == '-' || c == '~';
tests: test_export test_views

id: export-upgrade-branch
area: exporter
what: the installed branch installs instead of upgrading
file: CairnmoorCore/export/ScriptExporter.cpp
from: lines.add(1, executable + joinedQuoted(*manager.arguments(entry, true)));
to: lines.add(1, executable + joinedQuoted(*manager.arguments(entry, false)));
tests: test_export test_views

id: export-brewfile-kind
area: exporter
what: Brewfile lines say cask for formulae and brew for casks
file: CairnmoorCore/export/ScriptExporter.cpp
from: text += entry.macos->isCask() ? "cask \"" : "brew \"";
to: text += entry.macos->isCask() ? "brew \"" : "cask \"";
tests: test_export test_views

id: export-macports-prefix
area: exporter
what: any MacPorts path under /opt/local/ is accepted for elevation
file: CairnmoorCore/export/ScriptExporter.cpp
from: if (macports && executablePath && *executablePath != MacPortsExecutable::path) {
to: if (macports && executablePath && !executablePath->starts_with("/opt/local/")) {
tests: test_export test_views

id: cli-ignored-signal-handled
area: command line
what: a signal the launcher ignored (nohup) cancels the run anyway
file: app/cli/InterruptWatcher.cpp
from: previous_[i].sa_handler == SIG_IGN) {
to: previous_[i].sa_handler == SIG_ERR) {
tests: test_cli

id: cli-c1-escape
area: command line
what: the C1 controls U+0080-U+009F (U+009F among them) are no longer escaped in a failure message
file: app/cli/TerminalText.cpp
from: case UTF8PROC_CATEGORY_CC:
to:
tests: test_cli

id: cli-interrupt-status
area: command line
what: an interrupted run exits with the bare signal number
file: app/cli/InstallCommand.cpp
from: status = 128 + signalNumber;
to: status = signalNumber;
tests: test_cli

id: cli-one-failure
area: command line
what: a run with exactly one failed package exits 0
file: app/cli/InstallCommand.cpp
from: std::int32_t status = failures > 0 ? ExitStatus::failure : 0;
to: std::int32_t status = failures > 1 ? ExitStatus::failure : 0;
tests: test_cli

id: views-search-signal
area: view model
what: a search change signals selectedIdsChanged instead of searchTextChanged
file: app/views/CairnmoorViewModel.cpp
from: Q_EMIT searchTextChanged();
to: Q_EMIT selectedIdsChanged();
tests: test_views

id: views-partial-category
area: view model
what: a partly selected category shows as fully selected
file: CairnmoorCore/install/Selection.cpp
from: } else if (chosen == eligible) {
to: } else if (chosen >= 1) {
tests: test_views

id: views-final-flush
area: view model
what: the log lines still buffered at the end of a run are dropped
file: app/views/InstallRun.cpp
from: weak->flushLog(*buffer, weak->clock_.now());
to:
tests: test_views

id: views-flush-every-line
area: view model
what: log lines reach the view as they arrive instead of at most once a frame
file: app/views/InstallRun.cpp
from: if (sinceLast >= logFlushInterval) {
to: if (true) {
tests: test_views

id: views-manager-switch
area: view model
what: switching the manager keeps the old unsupported list
file: CairnmoorCore/install/Selection.cpp
from: manager_ = manager;
from+:     forgetChosen();
to: manager_ = manager;
tests: test_views

id: json-depth-limit
area: platform
what: a document exactly at the nesting limit is refused
file: CairnmoorCore/platform/JsonReading.cpp
from: if (nestingDepth(data) > maxDepth) {
to: if (nestingDepth(data) >= maxDepth) {
tests: test_platform test_catalogue test_install

id: json-trailing-nul
area: platform
what: a NUL and more text after a document are accepted
file: CairnmoorCore/platform/JsonReading.cpp
from: if (data.find('\0') != std::string_view::npos) {
to: if (false) {
tests: test_platform test_install test_cli

id: json-int64-max
area: platform
what: Int64's largest value is refused
file: CairnmoorCore/platform/JsonReading.cpp
from: if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
to: if (number < static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
tests: test_platform test_catalogue test_install

id: atomic-write-leftover
area: platform
what: a failed atomic write leaves its temporary file behind
file: CairnmoorCore/platform/FileManager.cpp
from: ::unlink(temporary.c_str());
to:
tests: test_platform test_faults test_install test_views

id: atomic-write-mode
area: platform
what: an atomic write drops the replaced file's permissions
file: CairnmoorCore/platform/FileManager.cpp
from: ::fchmod(fd.get(), existing.st_mode & 07777);
to:
tests: test_platform test_faults test_install test_views

id: buildinfo-empty-team
area: build info
what: an empty team identifier is shown as "(Team )"
file: CairnmoorCore/buildinfo/SignatureState.cpp
from: if (teamIdentifier && !teamIdentifier->empty()) {
to: if (teamIdentifier) {
tests: test_buildinfo test_views

id: buildinfo-hash-path
area: build info
what: the checksum is taken of the executable's path, not its contents
file: CairnmoorCore/buildinfo/BuildInfo.cpp
from: return Sha256::hexDigest(FileManager::defaultManager().contentsOfFile(*executable));
to: return Sha256::hexDigest(executable->string());
tests: test_buildinfo test_views

id: log-truncates-earlier
area: install log
what: a new log file truncates an earlier run's file of the same name
file: CairnmoorCore/platform/OutputFolder.cpp
from: O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
to: O_WRONLY | O_APPEND | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
tests: test_install test_faults test_views

id: log-month
area: install log
what: the file name's month is one too low
file: CairnmoorCore/install/InstallLog.cpp
from: local.tm_mon + 1, local.tm_mday,
to: local.tm_mon, local.tm_mday,
tests: test_install test_faults test_views

id: log-overwrites
area: install log
what: lines overwrite the file from its start instead of appending
file: CairnmoorCore/install/InstallLog.cpp
from: [&] { return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC); }));
to: [&] { return ::open(path.c_str(), O_WRONLY | O_CLOEXEC); }));
tests: test_install test_faults test_views

id: runner-kill-after-exit
area: runner
what: after a stop, a grandchild holding the pipe past the manager's exit gets no SIGKILL
file: CairnmoorCore/managers/ProcessRunner.cpp
from: if (!exited_ || !outputClosed_.load(std::memory_order_acquire)) {
to: if (!exited_) {
tests: test_managers test_install test_cli

id: runner-drain-kill
area: runner
what: what is left of a stopped group when the run returns is not killed
file: CairnmoorCore/managers/ProcessRunner.cpp
from: if (terminating_ && !killSent_) {
from+:                 signalGroup(processId_, SIGKILL);
to: if (false) {
to+:                 signalGroup(processId_, SIGKILL);
tests: test_managers test_install test_cli

id: runner-stdin-inherited
area: runner
what: a child not lent the terminal reads our standard input
file: CairnmoorCore/managers/process/Spawn.cpp
from: posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null",
to: posix_spawn_file_actions_addopen(&actions, 63, "/dev/null",
tests: test_managers test_install test_cli

id: runner-lent-stdin-null
area: runner
what: a child lent the terminal reads /dev/null instead
file: CairnmoorCore/managers/process/Spawn.cpp
from: if (withTerminal) {
to: if (false) {
tests: test_managers test_cli

id: runner-suspension-counts
area: runner
what: time spent suspended by Ctrl-Z counts against the time limit
file: CairnmoorCore/managers/ProcessRunner.cpp
from: if (resumed && deadline_) {
to: if (false) {
tests: test_cli test_managers

id: runner-limit-while-suspended
area: runner
what: the time limit ends a package while the person has it suspended
file: CairnmoorCore/managers/ProcessRunner.cpp
from: if (!terminating_ && !exited_ && !suspended_ && deadline_ && now >= *deadline_) {
to: if (!terminating_ && !exited_ && deadline_ && now >= *deadline_) {
tests: test_cli test_managers

id: runner-no-limit-after-fg
area: runner
what: after Ctrl-Z and fg the package has no time limit any more
file: CairnmoorCore/managers/ProcessRunner.cpp
from: *deadline_ += Clock::now() - stoppedAt;
to: deadline_.reset();
tests: test_cli test_managers

id: runner-fg-keeps-terminal
area: runner
what: after fg the terminal is not handed back to the child
file: CairnmoorCore/managers/process/TerminalLoan.cpp
from: ::tcsetpgrp(terminal, group);
to:             (void)group;
tests: test_cli test_managers

id: runner-account-order
area: runner
what: the user is switched before the group, so the group switch fails
file: CairnmoorCore/managers/process/PostFork.hpp
from: calls.setgid(gid) == 0 && calls.setuid(uid) == 0;
to: calls.setuid(uid) == 0 && calls.setgid(gid) == 0;
tests: test_managers test_cli

id: runner-account-primary-group
area: runner
what: a child running as another account lacks its primary group in its group list
file: CairnmoorCore/managers/process/PostFork.cpp
from: found.insert(found.begin(), primary);
to:
tests: test_managers test_cli

id: runner-account-no-groups
area: runner
what: a child running as another account gets no supplementary groups
file: CairnmoorCore/managers/process/PostFork.hpp
from: calls.setgroups(static_cast<int>(groups.size()), groups.data())
to: calls.setgroups(0, nullptr)
tests: test_managers test_cli

id: prompt-only-at-start
area: managers
what: sudo's refusal is recognised only at the start of a line
file: CairnmoorCore/managers/AdminPrompt.cpp
from: const std::size_t at = line.find("sudo: ");
to: const std::size_t at = line.starts_with("sudo: ") ? 0 : std::string_view::npos;
tests: test_managers test_install test_cli

id: prompt-last-line-only
area: managers
what: only the last line of output decides whether a password was refused
file: CairnmoorCore/install/InstallEngine.cpp
from: } else if (const auto note = AdminPrompt::unansweredNote(line); !note.empty()) {
to: } else if (const auto note = AdminPrompt::unansweredNote(line); true) {
tests: test_install test_cli

id: prompt-no-tty-wording
area: managers
what: sudo's "no tty present" refusal is not recognised
file: CairnmoorCore/managers/AdminPrompt.cpp
from: "no tty present and no askpass program specified",
to:
tests: test_managers test_install test_cli

id: fetch-list-comma
area: managers
what: a fetched package followed by a comma in a download list is not recognised
file: CairnmoorCore/managers/FetchOutput.cpp
from: if (word.ends_with(',')) {
to: if (word.ends_with(';')) {
tests: test_install test_managers test_cli

id: fetch-finished-mark
area: managers
what: a failed download's mark is not read as the package's end
file: CairnmoorCore/managers/FetchOutput.cpp
from: if (!consume(text, "\u2714") && !consume(text, "\u2718")) {
to: if (!consume(text, "\u2714")) {
tests: test_install test_managers test_cli

id: cask-target-folder
area: managers
what: an app target naming an Applications folder keeps the folder in the installed path
file: CairnmoorCore/managers/CaskInfo.cpp
from: path.remove_prefix(folder.size());
to: (void)folder;
tests: test_managers test_install test_cli

id: cask-target-ignored
area: managers
what: an app's target is ignored and the bundle's own name used
file: CairnmoorCore/managers/CaskInfo.cpp
from: path = target.get_ref<const std::string&>();
to: (void)target;
tests: test_managers test_install test_cli

id: cask-old-token
area: managers
what: a cask asked for by its old token is not matched
file: CairnmoorCore/managers/CaskInfo.cpp
from: aliases.push_back(JsonReading::asString(token, "old_tokens"));
to: (void)token;
tests: test_managers test_install test_cli

id: cask-tap-qualified
area: managers
what: a tap-qualified name is not matched to its cask
file: CairnmoorCore/managers/CaskInfo.cpp
from: if (alias == name || alias == shortName(name)) {
to: if (alias == name) {
tests: test_managers test_install test_cli

id: setup-stderr-closed
area: command line
what: a closed standard error stays closed
file: app/cli/ProcessSetup.cpp
from: for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
to: for (int fd = STDIN_FILENO; fd < STDERR_FILENO; ++fd) {
tests: test_cli

id: setup-output-read-only
area: command line
what: a closed standard output is reopened for reading only
file: app/cli/ProcessSetup.cpp
from: fd == STDIN_FILENO ? O_RDONLY : O_WRONLY
to: O_RDONLY
tests: test_cli

id: interrupt-last-wins
area: command line
what: of two signals the last decides the status and the report
file: app/cli/InterruptWatcher.cpp
from: caughtSignal.compare_exchange_strong(none, signalNumber);
to: caughtSignal.store(signalNumber + none);
tests: test_cli

id: report-duration-last-state
area: command line
what: an app's duration starts at its last unfinished state, not its first
file: app/cli/ReportWriter.cpp
from: begun_.try_emplace(id, now);
to: begun_.insert_or_assign(id, now);
tests: test_cli

id: report-duration-missing
area: command line
what: an app's duration is never filled in
file: app/cli/ReportWriter.cpp
from: app->duration = std::chrono::duration_cast<std::chrono::milliseconds>(now - begun->second);
to: (void)begun;
tests: test_cli

id: file-limit-exact
area: platform
what: a file of exactly the size limit is refused
file: CairnmoorCore/platform/FileManager.cpp
from: if (info.st_size > 0 && static_cast<std::uint64_t>(info.st_size) > sizeLimit) {
to: if (info.st_size > 0 && static_cast<std::uint64_t>(info.st_size) >= sizeLimit) {
tests: test_platform test_catalogue test_install test_cli

id: file-limit-read-exact
area: platform
what: the bytes read may reach the limit only when one fewer
file: CairnmoorCore/platform/FileManager.cpp
from: if (data.size() + static_cast<std::size_t>(count) > sizeLimit) {
to: if (data.size() + static_cast<std::size_t>(count) >= sizeLimit) {
tests: test_platform test_catalogue test_install test_cli

id: file-limit-growing
area: platform
what: a file that holds more than its size said is read past the limit
file: CairnmoorCore/platform/FileManager.cpp
from: if (data.size() + static_cast<std::size_t>(count) > sizeLimit) {
to: if (data.size() > sizeLimit) {
tests: test_platform test_catalogue test_install test_cli

id: setup-sigpipe
area: command line
what: SIGPIPE is left at its default, so a reader that leaves kills the run
file: app/cli/ProcessSetup.cpp
from: std::signal(SIGPIPE, SIG_IGN);
to:
tests: test_cli

id: interrupt-status
area: command line
what: an interrupted run whose packages all succeeded exits 0
file: app/cli/InstallCommand.cpp
from: if (signalNumber != 0) {
from+:         status = 128 + signalNumber;
to: if (signalNumber != 0 && failures > 0) {
to+:         status = 128 + signalNumber;
tests: test_cli

id: runner-stop-taken-late
area: runner
what: our job's stop, taken by another thread, comes after the child got the terminal back
file: CairnmoorCore/managers/process/TerminalLoan.cpp
from: sigaddset(&stop, SIGTSTP);
to: sigaddset(&stop, SIGURG);
tests: test_cli test_managers

id: root-brew-itself-unchecked
area: root boundary
what: as root, only the folders leading to Homebrew's brew are checked, not brew itself
file: CairnmoorCore/managers/HomebrewOwner.cpp
from: PathTrust::Trusted{{owner.uid}}, true)
to: PathTrust::Trusted{{owner.uid}}, false)
tests: test_cli

id: root-trust-primary-group
area: root boundary
what: brew or a folder on its path, writable by the primary group of an untrusted account, is trusted
file: CairnmoorCore/platform/PathTrust.cpp
from: if (account->pw_gid == gid && !isTrusted(account->pw_uid, trusted)) {
to: if (account->pw_uid == gid && !isTrusted(account->pw_uid, trusted)) {
tests: test_cli test_platform

id: root-output-unchecked
area: root boundary
what: as root, a report or log path another user can change is written anyway
file: CairnmoorCore/platform/OutputFolder.cpp
from: if (asRoot) {
to: if (false) {
tests: test_cli test_platform

id: root-environment-inherited
area: root boundary
what: a child running as another account inherits all of root's environment
file: CairnmoorCore/managers/process/ChildEnvironment.cpp
from: if (!replaced && (!settings.account || passesToAnotherAccount(name))) {
to: if (!replaced) {
tests: test_managers test_cli

id: root-replaced-brew
area: root boundary
what: a brew replaced after its owner was checked runs anyway; only a missing one is refused
file: CairnmoorCore/managers/ProcessRunner.cpp
from: ExecutableIdentity::of(executable) != settings.executable) {
to: !ExecutableIdentity::of(executable)) {
tests: test_managers test_cli

id: root-account-home
area: root boundary
what: root looks for the Homebrew owner's apps in its own home
file: CairnmoorCore/platform/AccountFileManager.hpp
from: return home_;
to: return FileManager::homeDirectory();
tests: test_cli

id: root-capture-as-root
area: root boundary
what: as root, a capture runs brew as root instead of as the owner of brew
file: app/cli/CaptureCommand.cpp
from: && ::geteuid() == 0) {
to: && ::geteuid() == 4242) {
tests: test_cli

id: root-capture-path-unchecked
area: root boundary
what: as root, a capture writes its profile through a folder another user can change
file: app/cli/Arguments.cpp
from: OutputFolder::refusal(parsed.capturePath, ::geteuid() == 0)
to: OutputFolder::refusal(parsed.capturePath, false)
tests: test_cli

id: running-sibling-bundle
area: running apps
what: a process of Foo.app2 counts as running inside Foo.app
file: CairnmoorCore/platform/RunningApps.cpp
from: path[folder.size()] == '/';
to: true;
tests: test_platform test_install

id: running-quit-ignores-cancel
area: running apps
what: a cancel does not end the wait for open apps to quit
file: CairnmoorCore/platform/RunningApps.cpp
from: while (!running.empty() && std::chrono::steady_clock::now() < deadline && !(stop && stop())) {
to: while (!running.empty() && std::chrono::steady_clock::now() < deadline) {
tests: test_platform test_install test_cli

id: engine-open-apps-answer
area: running apps
what: the person's answer to the open-apps question is ignored for the options' policy
file: CairnmoorCore/install/InstallEngine.cpp
from: openApps = *answer;
to: (void)*answer;
tests: test_install test_cli test_views

id: capture-kinds-swapped
area: import
what: captured casks are written as formulae and formulae as casks
file: CairnmoorCore/import/MacCapture.cpp
from: : i == 0 ? ProfilePackage::Kind::cask
to: : i == 1 ? ProfilePackage::Kind::cask
tests: test_import test_cli

id: brewfile-unless-modifier
area: import
what: a Brewfile entry with an "unless" condition is imported as if unconditional
file: CairnmoorCore/import/BrewfileReader.cpp
from: if ((word == "if" || word == "unless") && !isKey) {
to: if (word == "if" && !isKey) {
tests: test_import test_cli

id: brewfile-trailing-comma
area: import
what: an entry whose options go on after a comma on the next line is cut at the comma
file: CairnmoorCore/import/BrewfileReader.cpp
from: } else if (depth == 0 && !code.ends_with(',') && !code.ends_with('\\')) {
to: } else if (depth == 0 && !code.ends_with('\\')) {
tests: test_import test_cli

id: askpass-secret-prefix
area: password
what: a request carrying only the start of the secret (or none of it) gets the password
file: CairnmoorCore/managers/AskpassChannel.cpp
from: unsigned char difference = a.size() == b.size() ? 0 : 1;
to: unsigned char difference = 0;
tests: test_managers test_install test_cli

id: askpass-other-account
area: password
what: another account that connects to the channel, with the secret, gets the password
file: CairnmoorCore/managers/AskpassChannel.cpp
from: if (!peer || *peer != ::geteuid()) {
to: if (!peer) {
tests: test_managers

id: askpass-helper-secret-mode
area: password
what: the helper trusts a secret file that others can read
file: CairnmoorCore/managers/AskpassHelper.cpp
from: info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
to: info.st_uid != ::geteuid()) {
tests: test_managers test_cli
EOF
}

# ---- options ---------------------------------------------------------------------------

areas=""
only_ids=""
list_only=false
markdown=""
build="build/mutation"
fixed_limit=""
jobs=2
while [[ $# -gt 0 ]]; do
    case "$1" in
    --area) areas="$2"; shift 2 ;;
    --id) only_ids="$2"; shift 2 ;;
    --list) list_only=true; shift ;;
    --markdown) markdown="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --limit) fixed_limit="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
    esac
done
[[ "$build" == build/dev || "$build" == */build/dev ]] && { echo "build/dev is not ours to use" >&2; exit 2; }

# ---- parse the list ----------------------------------------------------------------------

ids=() area_of=() what_of=() file_of=() from_of=() to_of=() tests_of=()
n=-1
while IFS= read -r line; do
    [[ -z "$line" ]] && continue
    key=${line%%:*}
    value=${line#*:}
    value=${value# }
    case "$key" in
    id) n=$((n + 1)); ids[n]=$value; from_of[n]=""; to_of[n]="" ;;
    area) area_of[n]=$value ;;
    what) what_of[n]=$value ;;
    file) file_of[n]=$value ;;
    from) from_of[n]=$value ;;
    from+) from_of[n]+=$'\n'$value ;;
    to) to_of[n]=$value ;;
    to+) to_of[n]+=$'\n'$value ;;
    tests) tests_of[n]=$value ;;
    *) echo "mutation list: unknown key '$key' after ${ids[n]:-the start}" >&2; exit 2 ;;
    esac
done < <(mutations)

selected=()
for i in "${!ids[@]}"; do
    if [[ -n "$areas" && ",$areas," != *",${area_of[i]},"* ]]; then continue; fi
    if [[ -n "$only_ids" && ",$only_ids," != *",${ids[i]},"* ]]; then continue; fi
    selected+=("$i")
done
[[ ${#selected[@]} -gt 0 ]] || { echo "no mutation matches" >&2; exit 2; }

occurrences() { # file text -> how often the text occurs
    FROM="$2" perl -0777 -ne 'my $n = () = /\Q$ENV{FROM}\E/g; print $n' "$1"
}

if $list_only; then
    for i in "${selected[@]}"; do
        found=0
        [[ -f "${file_of[i]}" ]] && found=$(occurrences "${file_of[i]}" "${from_of[i]}")
        state="ok"
        [[ "$found" == 1 ]] || state="n/a (found $found times)"
        printf '%-34s %-13s %s\n' "${ids[i]}" "${area_of[i]}" "$state"
    done
    exit 0
fi

# ---- restore on every exit -----------------------------------------------------------------

work=$(mktemp -d)
mutated_file=""
restore() {
    if [[ -n "$mutated_file" ]]; then
        # A plain copy gives the file a new time stamp, so the next build recompiles it.
        cp "$work/original" "$mutated_file"
        mutated_file=""
    fi
}
finish() {
    local status=$?
    restore
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT
trap 'echo "interrupted" >&2; exit 130' INT TERM

export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software
was_clean=false
git diff --quiet -- CairnmoorCore app && was_clean=true

if [[ ! -f "$build/build.ninja" ]]; then
    nice -n 10 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >"$work/configure.log" 2>&1 ||
        { cat "$work/configure.log" >&2; exit 1; }
fi

build_targets() { # targets... -> status of the build; output in $work/build.log
    nice -n 10 cmake --build "$build" --parallel "$jobs" --target "$@" >"$work/build.log" 2>&1
}

run_program() { # program limit -> 0 passed, 1 failed, 124 time limit
    local status=0
    (cd "$build/tests" && timeout --kill-after=10 "$2" nice -n 10 "../bin/$1" --gtest_brief=1) \
        >"$work/$1.log" 2>&1 || status=$?
    if [[ $status -eq 124 || $status -eq 137 ]]; then return 124; fi
    [[ $status -eq 0 ]] && return 0
    return 1
}

# ---- the unchanged code must pass, and gives each program its time limit --------------------

declare -A limit_of
programs=$(for i in "${selected[@]}"; do echo "${tests_of[i]}"; done | tr ' ' '\n' | sort -u | grep .)
# shellcheck disable=SC2086
build_targets $programs || { cat "$work/build.log" >&2; echo "the unchanged code does not build" >&2; exit 1; }
for program in $programs; do
    [[ "$program" == test_soak ]] && { echo "the soak program is not part of the sample" >&2; exit 2; }
    start=$(date +%s)
    if ! run_program "$program" 3600; then
        tail -30 "$work/$program.log" >&2
        echo "$program fails on the unchanged code; fix that first" >&2
        exit 1
    fi
    took=$(($(date +%s) - start))
    limit_of[$program]=${fixed_limit:-$((3 * took + 60))}
    echo "unchanged: $program passes in ${took}s (limit ${limit_of[$program]}s)"
done

# ---- one mutation at a time ------------------------------------------------------------------

results=()
caught=0 missed=0 unapplicable=0 broken=0
for i in "${selected[@]}"; do
    file=${file_of[i]}
    result="" by=""
    found=0
    [[ -f "$file" ]] && found=$(occurrences "$file" "${from_of[i]}")
    if [[ "$found" != 1 ]]; then
        result="n/a"
        by="text found $found times"
        unapplicable=$((unapplicable + 1))
    else
        cp "$file" "$work/original"
        mutated_file=$file
        FROM="${from_of[i]}" TO="${to_of[i]}" perl -0777 -i -pe 's/\Q$ENV{FROM}\E/$ENV{TO}/' "$file"
        # Each program is built just before it runs: most mutations are caught by the
        # first, and linking the others (the window's above all) costs more than running it.
        result="missed"
        for program in ${tests_of[i]}; do
            if ! build_targets "$program"; then
                result="build-failed"
                by=$(grep -m1 -E 'error:' "$work/build.log" | sed 's/^.*error: //' | cut -c1-80 || true)
                break
            fi
            status=0
            run_program "$program" "${limit_of[$program]}" || status=$?
            if [[ $status -ne 0 ]]; then
                result="caught"
                by=$program
                [[ $status -eq 124 ]] && by="$program (time limit)"
                break
            fi
        done
        case "$result" in
        caught) caught=$((caught + 1)) ;;
        missed) missed=$((missed + 1)) ;;
        *) broken=$((broken + 1)) ;;
        esac
        restore
        cmp -s "$file" "$work/original" || { echo "could not restore $file" >&2; exit 1; }
    fi
    results+=("${ids[i]}|${area_of[i]}|${what_of[i]}|$result|$by")
    printf '%-34s %-13s %-12s %s\n' "${ids[i]}" "${area_of[i]}" "$result" "$by"
done

applicable=$((caught + missed))
summary="$caught of $applicable caught, $missed missed, $unapplicable n/a, $broken build-failed"
echo "$summary"

if [[ -n "$markdown" ]]; then
    {
        echo "| mutation | area | fault | result | caught by |"
        echo "|---|---|---|---|---|"
        for row in "${results[@]}"; do
            IFS='|' read -r id area what result by <<<"$row"
            echo "| \`$id\` | $area | $what | $result | $by |"
        done
        echo
        echo "$summary."
    } >"$markdown"
fi

if $was_clean && ! git diff --quiet -- CairnmoorCore app; then
    echo "the product code differs from git after the run:" >&2
    git diff --stat -- CairnmoorCore app >&2
    exit 1
fi
