#include "tools/FieldReport.h"

#include "screen/CodeField.h"
#include "screen/FieldClassification.h"
#include "tools/JsonLine.h"

namespace tessary::inspect {

QString fieldReport(Accessibility& accessibility, const Element& element)
{
    // Classified once: a field that changes between two reads must not print one verdict with
    // the other's reason.
    const FieldVerdict verdict = classifyField(accessibility, element);
    const QString label = fieldLabel(accessibility, element);
    const QString around =
        nearbyText(accessibility, element, codeFieldBudget::aroundLevels, codeFieldBudget::aroundBudget);
    if (verdict.accepted) {
        return jsonLine({{"codeField", true},
                         {"domain", optionalJson(pageHost(accessibility, element))},
                         {"frame", rectJson(verdict.frame)},
                         {"label", label},
                         {"around", around}});
    }
    return jsonLine({{"codeField", false}, {"label", label}, {"around", around}, {"reason", verdict.reason}});
}

} // namespace tessary::inspect
