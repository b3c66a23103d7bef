#pragma once

#include <QString>

namespace cairnmoor {

// Who ships this build, as the window shows it. An empty address is not configured and
// its link is left out.
struct Publisher {
    QString name = {};
    QString domain = {}; // empty: the wordmark shows the name
    QString profileUrl = {};
    QString toolsUrl = {};
    QString privacyUrl = {};
    QString donationUrl = {};

    // The build's settings, with placeholders (empty, or at a reserved example domain
    // such as example.org or *.example) taken as not configured.
    static Publisher configured();
    // True when the address is set and not at a reserved example domain.
    static bool isConfigured(const QString& url);
    // The profile page's host without "www.", e.g. "github.com".
    QString profileSite() const;
};

} // namespace cairnmoor
