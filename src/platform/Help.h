#pragma once

#include <QString>

namespace platform {

// The help topic the first-run wizard and the Help menu jump to.
inline constexpr const char* kGettingStartedTopic = "Getting_Started_For_The_First_Time";

// The help pages are HTML files in resources/help/, one per topic (<topic>.html), with
// index.html as the contents. The page of a topic; the contents page for an empty or
// unknown topic.
QString helpPage(const QString& topic = QString());

// Opens a topic's page (or the contents) in the browser through shellOpen.
void openHelp(const QString& topic = QString());

} // namespace platform
