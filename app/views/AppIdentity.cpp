#include "views/AppIdentity.hpp"

#include "buildinfo/BuildInfo.hpp"
#include "views/AboutPanel.hpp"

namespace cairnmoor {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

AppIdentity::AppIdentity(Publisher publisher, QObject* parent)
    : QObject(parent), publisher_(std::move(publisher)) {}

QString AppIdentity::product() const {
    return QString::fromUtf8(BuildInfo::product);
}
QString AppIdentity::version() const {
    return fromUtf8(BuildInfo::version());
}
QString AppIdentity::wordmark() const {
    return publisher_.domain.isEmpty() ? publisher_.name : publisher_.domain;
}
QString AppIdentity::kickerText() const {
    return wordmark().toUpper() + QStringLiteral(" TOOLING");
}
QString AppIdentity::copyright() const {
    return fromUtf8(BuildInfo::publisher());
}

QString AppIdentity::aboutCredits() const {
    return AboutPanel::currentCreditsHtml(publisher_);
}

} // namespace cairnmoor
