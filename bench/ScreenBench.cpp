// Attribute reads and wall time of code-field and link-page detection on trees built to be
// expensive: a 1,500-paragraph page, a node with 10,000 children, and a tree that loops. The
// "reads" counter is what a real desktop pays in inter-process calls; it must stay within the
// budgets (README, "Read budgets") however large or broken the tree.

#include "fakes/FakeAccessibility.h"
#include "screen/CodeField.h"
#include "screen/LinkPage.h"

#include <QJsonArray>
#include <QJsonObject>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace tessary {
namespace {

QJsonObject node(const QString& role, QJsonObject attributes = {}, QJsonArray children = {})
{
    attributes.insert("AXRole", role);
    return QJsonObject{
        {"attributes", attributes}, {"children", children}, {"frame", QJsonArray{0, 0, 300, 32}}};
}

QJsonObject paragraph(int i)
{
    return node("AXStaticText", {{"AXValue", QStringLiteral("Paragraph %1 of a long article.").arg(i)}});
}

QJsonObject codeField()
{
    // Narrow, so detection also counts its siblings as it would for a row of code boxes.
    QJsonObject field = node("AXTextField", {{"AXPlaceholderValue", "Verification code"}});
    field.insert("frame", QJsonArray{0, 0, 40, 32});
    field.insert("focused", true);
    return field;
}

// The browser around a page: application, window, web area.
QJsonObject browser(QJsonArray page)
{
    QJsonObject window =
        node("AXWindow", {}, {node("AXWebArea", {{"AXURL", "https://news.example.com/a"}}, page)});
    window.insert("window", true);
    return QJsonObject{
        {"app", QJsonObject{{"pid", 100}, {"bundleId", "firefox-esr"}, {"appPath", "/usr/bin/firefox"}}},
        {"root", node("AXApplication", {}, {window})}};
}

QJsonObject longPage()
{
    QJsonArray page;
    for (int i = 0; i < 1'500; ++i)
        page.append(paragraph(i));
    page.append(node("AXGroup", {}, {codeField()}));
    return browser(page);
}

QJsonObject wideNode()
{
    QJsonArray children{codeField()};
    for (int i = 0; i < 10'000; ++i)
        children.append(i % 2 ? paragraph(i) : node("AXTextField"));
    return browser({node("AXGroup", {}, children)});
}

// Every group lists the page's first group again among its children, and is its own parent.
QJsonObject cyclicPage()
{
    QJsonObject loop =
        node("AXGroup", {{"AXParent", QJsonObject{{"ref", "loop"}}}},
             {paragraph(0), codeField(), QJsonObject{{"ref", "loop"}}, QJsonObject{{"ref", "loop"}}});
    loop.insert("id", "loop");
    return browser({loop});
}

std::unique_ptr<test::FakeAccessibility> load(const QJsonObject& file)
{
    auto fake = test::FakeAccessibility::fromJson(file);
    if (!fake)
        std::abort();
    return std::move(fake).value();
}

void reportReads(benchmark::State& state, test::FakeAccessibility& fake, int budget)
{
    state.counters["reads"] = double(fake.reads()) / double(state.iterations());
    state.counters["budget"] = budget;
}

void detectField(benchmark::State& state, const QJsonObject& file)
{
    auto fake = load(file);
    const Element focus = *fake->focus();
    fake->resetReads();
    for (auto _ : state)
        benchmark::DoNotOptimize(CodeField::detect(*fake, focus));
    reportReads(state, *fake, codeFieldBudget::maxReads);
}

void detectPage(benchmark::State& state, const QJsonObject& file)
{
    auto fake = load(file);
    fake->resetReads();
    for (auto _ : state)
        benchmark::DoNotOptimize(LinkPage::detect(*fake));
    reportReads(state, *fake, linkPageBudget::maxReads);
}

void CodeFieldOnLongPage(benchmark::State& state)
{
    detectField(state, longPage());
}
void CodeFieldBesideTenThousandChildren(benchmark::State& state)
{
    detectField(state, wideNode());
}
void CodeFieldInACycle(benchmark::State& state)
{
    detectField(state, cyclicPage());
}
void LinkPageOnLongPage(benchmark::State& state)
{
    detectPage(state, longPage());
}
void LinkPageOverTenThousandChildren(benchmark::State& state)
{
    detectPage(state, wideNode());
}
void LinkPageInACycle(benchmark::State& state)
{
    detectPage(state, cyclicPage());
}

BENCHMARK(CodeFieldOnLongPage);
BENCHMARK(CodeFieldBesideTenThousandChildren);
BENCHMARK(CodeFieldInACycle);
BENCHMARK(LinkPageOnLongPage);
BENCHMARK(LinkPageOverTenThousandChildren);
BENCHMARK(LinkPageInACycle);

} // namespace
} // namespace tessary

BENCHMARK_MAIN();
