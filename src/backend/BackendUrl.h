#pragma once

#include "common/BackendError.h"
#include "common/SettingsStore.h"

#include <QUrl>

namespace tessary {

// The backend this build talks to unless the "backendURL" setting names another.
inline constexpr const char* builtInBackendURL = "https://api.tessary.com";

// The base URL for the next request, read anew every time: the "backendURL" setting when it
// holds a non-empty string, else the built-in origin. Only https is accepted, and plain http only
// for this computer (127.0.0.0/8, ::1, localhost) so a local backend runs without certificates.
// An unusable setting fails with a message naming it: falling back to the built-in origin would
// hide the mistake, and accepting it could send the install token somewhere unprotected.
BackendResult<QUrl> backendBaseURL(const SettingsStore& settings);

// Checks one candidate base URL by the rules above; `source` names where it came from.
BackendResult<QUrl> checkBaseURL(const QString& text, const QString& source);

// The base URL with `path` ("v1/messages/ids") appended as path segments.
QUrl endpointURL(const QUrl& base, const QString& path);

bool isLoopbackHost(const QString& host);

} // namespace tessary
