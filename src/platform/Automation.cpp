#include "platform/Automation.h"

#include "platform/Registry.h"

namespace platform {

namespace {

std::function<void(const QString&)>& observer() {
    static std::function<void(const QString&)> current;
    return current;
}

class NetscapeRegistry : public AutomationObject {
public:
    QString className() const override { return QString::fromLatin1(kNetscapeRegistryClass); }

    bool invoke(const QString& method, const QStringList& arguments) override {
        if (method.compare("RegisterProtocol", Qt::CaseInsensitive) != 0 || arguments.size() != 2)
            return false;
        const QString& protocol = arguments[0];
        if (protocol.isEmpty())
            return false;
        return Registry(Registry::CurrentUser)
            .writeValue(QString::fromLatin1(kNetscapeProtocolsKey), protocol, arguments[1]);
    }
};

bool isRegistered(const QString& className) {
    if (className.isEmpty() || className.contains('\\'))
        return false;
    return !Registry(Registry::ClassesRoot).readString(className + "\\CLSID", "").isEmpty();
}

} // namespace

std::unique_ptr<AutomationObject> createAutomationObject(const QString& className) {
    if (!isRegistered(className))
        return nullptr;
    std::unique_ptr<AutomationObject> object;
    if (className.compare(QString::fromLatin1(kNetscapeRegistryClass), Qt::CaseInsensitive) == 0)
        object = std::make_unique<NetscapeRegistry>();
    if (object && observer())
        observer()(object->className());
    return object;
}

void setAutomationObserver(std::function<void(const QString& className)> newObserver) {
    observer() = std::move(newObserver);
}

} // namespace platform
