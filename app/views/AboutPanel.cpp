#include "views/AboutPanel.hpp"

#include "buildinfo/BuildInfo.hpp"

#include <utility>

namespace cairnmoor::AboutPanel {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

const char* colourValue(Colour colour) {
    switch (colour) {
    case Colour::ink:
        return "#eaf0ff";
    case Colour::muted:
        return "#93a0cf";
    case Colour::cyan:
        return "#22d3ee";
    }
    return "#93a0cf";
}

} // namespace

std::vector<CreditPart> credits(const SignatureState& signature,
                                const std::optional<std::string>& checksum,
                                const std::string& buildDate, const Publisher& publisher) {
    std::vector<CreditPart> parts = {
        {QStringLiteral("Signature: ") + fromUtf8(signature.summary()) + QLatin1Char('\n'),
         Font::body,
         Colour::muted,
         {}},
        {QStringLiteral("Built: ") + fromUtf8(buildDate) + QStringLiteral("\n\n"),
         Font::body,
         Colour::muted,
         {}},
        {QStringLiteral("SHA-256 of this application's binary:\n"), Font::body, Colour::muted, {}},
        {fromUtf8(checksum.value_or(checksumPlaceholder)) + QStringLiteral("\n\n"),
         Font::mono,
         Colour::ink,
         {}},
    };
    if (publisher.profileUrl.isEmpty()) {
        parts.push_back({publisher.name, Font::body, Colour::muted, {}});
    } else {
        parts.push_back({publisher.name + QStringLiteral(" on ") + publisher.profileSite(),
                         Font::body, Colour::cyan, publisher.profileUrl});
    }
    const std::pair<QString, QString> links[] = {
        {QStringLiteral("More free tools"), publisher.toolsUrl},
        {QStringLiteral("Privacy"), publisher.privacyUrl},
        {QStringLiteral("\u2615 Buy me a coffee"), publisher.donationUrl},
    };
    for (const auto& [text, url] : links) {
        if (!url.isEmpty()) {
            parts.push_back({QString::fromUtf8(separator), Font::body, Colour::muted, {}});
            parts.push_back({text, Font::body, Colour::cyan, url});
        }
    }
    return parts;
}

QString html(const std::vector<CreditPart>& parts) {
    QString out;
    for (const CreditPart& part : parts) {
        QString text = part.text.toHtmlEscaped();
        text.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
        // Separators keep their width; a link wraps as a whole, never between its words.
        text.replace(part.link.isEmpty() ? QStringLiteral("   ") : QStringLiteral(" "),
                     part.link.isEmpty() ? QStringLiteral("&nbsp;&nbsp;&nbsp;")
                                         : QStringLiteral("&nbsp;"));
        const QString style =
            QStringLiteral("color:%1;font-size:%2px;%3")
                .arg(QLatin1String(colourValue(part.colour)),
                     part.font == Font::mono ? QStringLiteral("9") : QStringLiteral("11"),
                     part.font == Font::mono
                         ? QStringLiteral("font-family:Menlo,'DejaVu Sans Mono',monospace;")
                         : QString());
        const QString span = QStringLiteral("<span style=\"%1\">%2</span>").arg(style, text);
        if (part.link.isEmpty()) {
            out += span;
        } else {
            out +=
                QStringLiteral("<a href=\"%1\" style=\"text-decoration:none;color:%2\">%3</a>")
                    .arg(part.link.toHtmlEscaped(), QLatin1String(colourValue(part.colour)), span);
        }
    }
    return out;
}

QString currentCreditsHtml(const Publisher& publisher) {
    return html(credits(BuildInfo::signature(), BuildInfo::executableSHA256(),
                        BuildInfo::buildDate(), publisher));
}

} // namespace cairnmoor::AboutPanel
