#include "tools/FieldReport.h"

#include "screen/CodeField.h"
#include "screen/FieldClassification.h"
#include "tools/JsonLine.h"

namespace tessary::inspect {

QString fieldReport(Accessibility& accessibility, const Element& element)
{
    const QString label = fieldLabel(accessibility, element);
    const QString around =
        nearbyText(accessibility, element, codeFieldBudget::aroundLevels, codeFieldBudget::aroundBudget);
    if (const std::optional<CodeField> field = CodeField::detect(accessibility, element)) {
        return jsonLine({{"codeField", true},
                         {"domain", optionalJson(field->domain)},
                         {"frame", rectJson(field->frame)},
                         {"label", label},
                         {"around", around}});
    }
    const FieldVerdict verdict = classifyField(accessibility, element);
    return jsonLine({{"codeField", false}, {"label", label}, {"around", around}, {"reason", verdict.reason}});
}

} // namespace tessary::inspect
