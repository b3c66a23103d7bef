#include "views/Publisher.hpp"

#include "buildinfo/BuildInfo.hpp"

#include <QUrl>

namespace cairnmoor {

namespace {

// Names reserved for documentation and testing: they never lead to a real site.
bool isReservedHost(const QString& host) {
    const QString lower = host.toLower();
    for (const char* domain : {"example.com", "example.net", "example.org"}) {
        const QString name = QString::fromLatin1(domain);
        if (lower == name || lower.endsWith(QLatin1Char('.') + name)) {
            return true;
        }
    }
    const QString topLevel = lower.section(QLatin1Char('.'), -1);
    for (const char* reserved : {"example", "test", "invalid", "localhost"}) {
        if (topLevel == QLatin1String(reserved)) {
            return true;
        }
    }
    return false;
}

QString configuredOrEmpty(const char* url) {
    const QString text = QString::fromUtf8(url);
    return Publisher::isConfigured(text) ? text : QString();
}

} // namespace

bool Publisher::isConfigured(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    return parsed.isValid() && !parsed.host().isEmpty() && !isReservedHost(parsed.host());
}

Publisher Publisher::configured() {
    const QString domain = QString::fromUtf8(BuildInfo::publisherDomain());
    return Publisher{
        .name = QString::fromUtf8(BuildInfo::author()),
        .domain = domain.isEmpty() || isReservedHost(domain) ? QString() : domain,
        .profileUrl = configuredOrEmpty(BuildInfo::authorUrl()),
        .toolsUrl = configuredOrEmpty(BuildInfo::toolsUrl()),
        .privacyUrl = configuredOrEmpty(BuildInfo::privacyUrl()),
        .donationUrl = configuredOrEmpty(BuildInfo::donationUrl()),
    };
}

QString Publisher::profileSite() const {
    const QString host = QUrl(profileUrl).host();
    return host.startsWith(QStringLiteral("www.")) ? host.mid(4) : host;
}

} // namespace cairnmoor
