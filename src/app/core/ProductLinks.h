#pragma once

#include <QUrl>

namespace scrivola::ProductLinks {

// The product's pages that the Help menu and the title bar open in the user's browser.
inline QUrl website() { return QUrl(QStringLiteral("https://scrivola.app")); }
inline QUrl supportPage() { return QUrl(QStringLiteral("https://scrivola.app/support")); }

}  // namespace scrivola::ProductLinks
