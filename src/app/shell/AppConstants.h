#pragma once

#include <QString>

namespace scrivola::AppConstants {

// Window sizes in logical pixels.
constexpr int defaultWindowWidth = 1200;
constexpr int defaultWindowHeight = 800;
constexpr int minWindowWidth = 700;
constexpr int minWindowHeight = 500;

// How long files handed to a window that is only being opened wait for it (milliseconds).
constexpr int newWindowHandOverDelayMs = 300;
// How long dropped files are remembered as already handled (milliseconds).
constexpr int recentDropMemoryMs = 1000;

// The pages the Help menu opens in the user's browser.
inline const QString websiteUrl = QStringLiteral("https://scrivola.app/");
inline const QString supportUrl = QStringLiteral("https://scrivola.app/support");

}  // namespace scrivola::AppConstants
