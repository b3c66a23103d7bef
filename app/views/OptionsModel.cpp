#include "views/OptionsModel.hpp"

#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace cairnmoor {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Whole text as a base-10 integer with an optional sign: digits only, no spaces, no
// overflow.
std::optional<std::int64_t> parseWholeNumber(const std::string& text) {
    std::size_t position = 0;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    if (position == text.size()) {
        return std::nullopt;
    }
    // Accumulate negatively so that the most negative value still fits.
    std::int64_t value = 0;
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    for (; position < text.size(); ++position) {
        const char c = text[position];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const int digit = c - '0';
        if (value < (lowest + digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == lowest) {
            return std::nullopt;
        }
        value = -value;
    }
    return value;
}

} // namespace

OptionsModel::OptionsModel(QObject* parent) : QObject(parent) {}

void OptionsModel::set(const InstallOptions& options) {
    if (options == options_) {
        return;
    }
    const bool managerChanges = options.packageManager != options_.packageManager;
    options_ = options;
    if (managerChanges) {
        Q_EMIT managerChanged();
    }
    Q_EMIT changed();
}

bool OptionsModel::applyTimeoutText(const QString& text) {
    const std::optional<std::int64_t> value = parseWholeNumber(text.toStdString());
    if (!value || *value < 1) {
        return false;
    }
    setTimeoutSeconds(*value);
    return true;
}

void OptionsModel::setPackageManagerIndex(int index) {
    if (index >= 0 && index < static_cast<int>(PackageManager::allCases.size())) {
        assign(&InstallOptions::packageManager,
               PackageManager::allCases[static_cast<std::size_t>(index)]);
    }
}

void OptionsModel::setTimeoutSeconds(qint64 seconds) {
    if (seconds >= 1) {
        assign(&InstallOptions::timeoutSeconds, std::int64_t{seconds});
    }
}

void OptionsModel::setExistingAppsIndex(int index) {
    if (index >= 0 && index <= static_cast<int>(ExistingApps::replace)) {
        assign(&InstallOptions::existingApps, static_cast<ExistingApps>(index));
    }
}

QString OptionsModel::managerDisplayName() const {
    return qs(options_.packageManager.displayName());
}

QString OptionsModel::managerInstallURL() const {
    return qs(options_.packageManager.installURL());
}

QStringList OptionsModel::managerNames() const {
    QStringList names;
    for (const PackageManager manager : PackageManager::allCases) {
        names.push_back(qs(manager.displayName()));
    }
    return names;
}

QString OptionsModel::installButtonText() const {
    return isMacPorts() ? QStringLiteral("Install in Terminal...") : QStringLiteral("Install now");
}

} // namespace cairnmoor
