#pragma once

#include "buildinfo/SignatureState.hpp"
#include "views/Publisher.hpp"

#include <QString>

#include <optional>
#include <string>
#include <vector>

// The credits of the About window: signature, build date, the executable's checksum
// and the publisher's links, built anew each time the window opens.
namespace cairnmoor::AboutPanel {

// Shown in place of the checksum when the executable cannot be read.
inline constexpr const char* checksumPlaceholder = "unavailable";
// Three spaces, a middle dot, three spaces.
inline constexpr const char* separator = "   \u00B7   ";

enum class Font { body, mono };
enum class Colour { ink, muted, cyan };

struct CreditPart {
    QString text;
    Font font = Font::body;
    Colour colour = Colour::muted;
    QString link; // empty: not a link

    bool operator==(const CreditPart&) const = default;
};

// The publisher's name links to its profile page; the tools, privacy and donation links
// follow. An address that is not configured leaves its link (and its separator) out, and
// the name stays as plain text.
std::vector<CreditPart> credits(const SignatureState& signature,
                                const std::optional<std::string>& checksum,
                                const std::string& buildDate, const Publisher& publisher);
// The same parts as rich text (body 11 px, mono 9 px, theme colours).
QString html(const std::vector<CreditPart>& parts);
// Reads the signature and hashes the running executable (on the calling thread).
QString currentCreditsHtml(const Publisher& publisher);

} // namespace cairnmoor::AboutPanel
