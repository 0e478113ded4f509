#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace platform {

// Automation objects created by class name, the way the system's object broker creates them:
// a class exists when the classes root of the registry store maps its name to a class
// identifier (the default value of "<class name>\CLSID"). This platform has no broker, so the
// objects the program talks to are stand-ins built in here. A class that is not registered,
// or for which there is no stand-in, cannot be created: the caller gets no object and
// nothing else happens.
//
// Stand-ins:
//   "Netscape.Registry.1"  RegisterProtocol(protocol, class name) writes the class name as
//                          the value named by the protocol under kNetscapeProtocolsKey in the
//                          current user's root, as the browser's own object does.
class AutomationObject {
public:
    virtual ~AutomationObject() = default;
    virtual QString className() const = 0;
    // Calls a method with text arguments; false when there is no such method or the call
    // fails.
    virtual bool invoke(const QString& method, const QStringList& arguments) = 0;
};

inline constexpr const char* kNetscapeRegistryClass = "Netscape.Registry.1";
inline constexpr const char* kNetscapeProtocolsKey =
    "Software\\Netscape\\Netscape Navigator\\Automation Protocols";

// The object of class `className`, or nothing when it cannot be created.
std::unique_ptr<AutomationObject> createAutomationObject(const QString& className);

// Called with the class name of every object created (tests watch creations with it); an
// empty function removes the observer.
void setAutomationObserver(std::function<void(const QString& className)> observer);

} // namespace platform
