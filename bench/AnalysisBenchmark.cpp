#include "SampleMail.h"

#include "analysis/CodeExtraction.h"
#include "analysis/CodeFinder.h"
#include "analysis/SiteDomain.h"

#include <benchmark/benchmark.h>

using namespace tessary;

namespace {

qint64 textBytes(const QList<Message>& messages)
{
    qint64 bytes = 0;
    for (const Message& message : messages)
        bytes += message.subject.toUtf8().size() + message.text.toUtf8().size();
    return bytes;
}

void rankRealisticMailbox(benchmark::State& state)
{
    const QList<Message> messages = bench::realisticMailbox(1000);
    const QSet<QString> sites = expandDomains({QStringLiteral("accounts.example-shop.com")});
    for (auto _ : state)
        benchmark::DoNotOptimize(CodeFinder::rank(messages, sites));
    state.SetBytesProcessed(state.iterations() * textBytes(messages));
}
BENCHMARK(rankRealisticMailbox)->Unit(benchmark::kMillisecond);

void extractFromHostileBody(benchmark::State& state, QString body)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(extractCode(QStringLiteral("Sign in"), body));
    state.SetBytesProcessed(state.iterations() * body.toUtf8().size());
}
BENCHMARK_CAPTURE(extractFromHostileBody, megabyteOfDigits, bench::megabyteOfDigits())
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(extractFromHostileBody, megabyteWithoutSpaces, bench::megabyteWithoutSpaces())
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(extractFromHostileBody, hundredThousandLines, bench::hundredThousandLines())
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
