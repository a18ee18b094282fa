#include "analysis/DomainDisplay.h"

#include <QStringList>
#include <QUrl>

#include <unicode/uspoof.h>

#include <memory>

namespace tessary {

namespace {

constexpr QLatin1StringView acePrefix("xn--");

// Whether a decoded label is safe to show: in scripts that belong together, with no invisible
// characters or mixed digit systems, and not drawn like some ASCII label.
bool looksLikeItself(const QString& label)
{
    // Configured once; checking with a configured checker is safe from any thread.
    static const std::unique_ptr<USpoofChecker, decltype(&uspoof_close)> checker = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<USpoofChecker, decltype(&uspoof_close)> made(uspoof_open(&status), &uspoof_close);
        uspoof_setChecks(made.get(), USPOOF_RESTRICTION_LEVEL | USPOOF_INVISIBLE | USPOOF_MIXED_NUMBERS,
                         &status);
        uspoof_setRestrictionLevel(made.get(), USPOOF_HIGHLY_RESTRICTIVE);
        if (U_FAILURE(status))
            made.reset();
        return made;
    }();
    if (!checker)
        return false;
    const auto* text = reinterpret_cast<const UChar*>(label.utf16());
    UErrorCode status = U_ZERO_ERROR;
    if (uspoof_check(checker.get(), text, int32_t(label.size()), nullptr, &status) != 0 || U_FAILURE(status))
        return false;
    UChar skeleton[256];
    const int32_t length =
        uspoof_getSkeleton(checker.get(), 0, text, int32_t(label.size()), skeleton, 256, &status);
    if (U_FAILURE(status))
        return false;
    for (int32_t i = 0; i < length; ++i)
        if (skeleton[i] > 0x7f)
            return true;
    return false;
}

} // namespace

QString displayDomain(const QString& domain)
{
    QStringList labels = domain.split(QLatin1Char('.'));
    for (QString& label : labels) {
        if (!label.startsWith(acePrefix))
            continue;
        const QString decoded = QUrl::fromAce(label.toLatin1(), QUrl::IgnoreIDNWhitelist);
        if (decoded.isEmpty() || decoded.startsWith(acePrefix) || !looksLikeItself(decoded))
            return domain;
        label = decoded;
    }
    return labels.join(QLatin1Char('.'));
}

} // namespace tessary
