#include "platform/session/SecretsLocation.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

TEST(SecretsLocation, TheTokenAndKeyAreNamedWhereTheyAre)
{
    struct Row {
        TokenPlace token;
        std::optional<bool> keyInFile; // empty: the backend is elsewhere
        const char* words;
    };
    const Row rows[] = {
        {TokenPlace::keyring, false, "In the keyring"},
        {TokenPlace::file, true, "In owner-only files in ~/t"},
        {TokenPlace::keyring, true, "Token in the keyring, key in ~/t/backend"},
        {TokenPlace::file, std::nullopt, "Token in ~/t"},
        {TokenPlace::keyringSilent, false, "Waiting for the keyring"},
        {TokenPlace::keyringSilent, std::nullopt, "Waiting for the keyring"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(secretsPlace(row.token, row.keyInFile, "~/t", "~/t/backend"), row.words);
}

} // namespace
} // namespace tessary
