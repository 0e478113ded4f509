#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// A file-backed store of string values laid out like the system registry: roots, key
// paths ("Software\Vendor\Product", "\" between the parts, leading and trailing "\"
// ignored, compared without regard to case) and named values; the value named "" is the
// key's default value. Each root is one profile file in Registry::folder(), one section
// per key. A root whose file cannot be written (read-only file or folder) refuses every
// write, like a protected hive: writes then return false and change nothing.
class Registry {
public:
    enum Root { CurrentUser, LocalMachine, ClassesRoot };

    explicit Registry(Root root);

    // $QUILLBAY_REGISTRY, else the user's configuration folder + "quillbay/registry/";
    // with a trailing "/".
    static QString folder();
    // "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT".
    static QString rootName(Root root);
    // The root named so (case ignored), or nothing.
    static std::optional<Root> rootFromName(const QString& name);

    Root root() const { return root_; }
    // The root's file.
    QString filePath() const;

    // A key exists when it was created, holds values or has subkeys; the root key ""
    // always exists.
    bool keyExists(const QString& key) const;
    bool valueExists(const QString& key, const QString& name) const;
    // The value's data, or nothing when the key or the value does not exist.
    std::optional<QString> readValue(const QString& key, const QString& name) const;
    QString readString(const QString& key, const QString& name, const QString& def = {}) const;
    // Names of the direct subkeys, in the order they were created, and of the values.
    QStringList subKeys(const QString& key) const;
    QStringList valueNames(const QString& key) const;

    // Each returns false when the root refuses writes. Data is a single line: line breaks
    // are stored as blanks.
    bool createKey(const QString& key);
    bool writeValue(const QString& key, const QString& name, const QString& data);
    // Deleting what does not exist succeeds.
    bool deleteValue(const QString& key, const QString& name);
    // Removes the key with all its subkeys and values.
    bool deleteKey(const QString& key);

private:
    Root root_;
};

} // namespace platform
