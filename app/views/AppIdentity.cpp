#include "views/AppIdentity.hpp"

#include "buildinfo/BuildInfo.hpp"
#include "views/AboutPanel.hpp"

namespace cairnmoor {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

AppIdentity::AppIdentity(QObject* parent) : QObject(parent) {}

QString AppIdentity::product() const {
    return QString::fromUtf8(BuildInfo::product);
}
QString AppIdentity::version() const {
    return fromUtf8(BuildInfo::version());
}
QString AppIdentity::publisherDomain() const {
    return QString::fromUtf8(BuildInfo::publisherDomain());
}
QString AppIdentity::kickerText() const {
    return publisherDomain().toUpper() + QStringLiteral(" TOOLING");
}
QString AppIdentity::author() const {
    return QString::fromUtf8(BuildInfo::author());
}
QString AppIdentity::authorUrl() const {
    return QString::fromUtf8(BuildInfo::authorUrl());
}
QString AppIdentity::toolsUrl() const {
    return QString::fromUtf8(BuildInfo::toolsUrl());
}
QString AppIdentity::donationUrl() const {
    return QString::fromUtf8(BuildInfo::donationUrl());
}
QString AppIdentity::publisher() const {
    return fromUtf8(BuildInfo::publisher());
}

QString AppIdentity::aboutCredits() const {
    return AboutPanel::currentCreditsHtml();
}

} // namespace cairnmoor
