// What a screen reader meets over AT-SPI, on the accessibility bus of the session bus it is given.
//
// With no argument, a listener that prints "ready" once it listens, then one line for each object
// that takes the focus as the keyboard moves:
//
//   ROLE|NAME|STATES|PARENT ROLE:NAME < GRANDPARENT ROLE:NAME < ...|SIBLINGS
//
// STATES are those of "selectable selected focused showing" the object has; the ancestors go up to
// the menu; SIBLINGS, for a list's item, is "N of M, selected NAME" (the list's selected items).
//
// With `windows APPLICATION`, the windows the application named so shows a reader, one line each,
// ROLE|NAME|STATES, then it ends (status 1 when no such application is registered).

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

struct Reference {
    QString service;
    QDBusObjectPath path;
};

const QDBusArgument& operator>>(const QDBusArgument& argument, Reference& reference) {
    argument.beginStructure();
    argument >> reference.service >> reference.path;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const Reference& reference) {
    argument.beginStructure();
    argument << reference.service << reference.path;
    argument.endStructure();
    return argument;
}

}  // namespace

Q_DECLARE_METATYPE(Reference)

namespace {

constexpr char accessible[] = "org.a11y.atspi.Accessible";

// A value of a reply: Qt hands types it knows over as they are, others still marshalled.
template <typename T>
T valueOf(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        T result;
        value.value<QDBusArgument>() >> result;
        return result;
    }
    if (value.userType() == qMetaTypeId<QDBusVariant>()) return valueOf<T>(value.value<QDBusVariant>().variant());
    return value.value<T>();
}

// The questions a reader asks of an object.
class Reader {
public:
    explicit Reader(QDBusConnection bus) : bus_(std::move(bus)) {}

    QString roleName(const Reference& object) {
        const QDBusMessage reply = call(object, accessible, "GetRoleName");
        return reply.arguments().isEmpty() ? QString() : reply.arguments()[0].toString();
    }
    QString name(const Reference& object) {
        const QDBusMessage reply = call(object, "org.freedesktop.DBus.Properties", "Get",
                                        {QLatin1String(accessible), QStringLiteral("Name")});
        return reply.arguments().isEmpty() ? QString() : valueOf<QString>(reply.arguments()[0]);
    }
    QString states(const Reference& object) {
        const QDBusMessage reply = call(object, accessible, "GetState");
        if (reply.arguments().isEmpty()) return {};
        const auto words = valueOf<QList<uint>>(reply.arguments()[0]);
        // AT-SPI's state numbers.
        const std::pair<int, const char*> wanted[] = {{22, "selectable"}, {23, "selected"}, {12, "focused"}, {25, "showing"}};
        QStringList present;
        for (const auto& [bit, label] : wanted) {
            if (words.size() > bit / 32 && (words[bit / 32] >> (bit % 32)) & 1u) present << QLatin1String(label);
        }
        return present.join(QLatin1Char(' '));
    }
    std::optional<Reference> parentOf(const Reference& object) {
        const QDBusMessage reply = call(object, "org.freedesktop.DBus.Properties", "Get",
                                        {QLatin1String(accessible), QStringLiteral("Parent")});
        if (reply.arguments().isEmpty()) return std::nullopt;
        return valueOf<Reference>(reply.arguments()[0]);
    }
    QList<Reference> childrenOf(const Reference& object) {
        const QDBusMessage reply = call(object, accessible, "GetChildren");
        return reply.arguments().isEmpty() ? QList<Reference>{} : valueOf<QList<Reference>>(reply.arguments()[0]);
    }

protected:
    QDBusMessage call(const Reference& object, const char* interface, const char* method, QVariantList arguments = {}) {
        QDBusMessage request = QDBusMessage::createMethodCall(object.service, object.path.path(),
                                                              QLatin1String(interface), QLatin1String(method));
        request.setArguments(arguments);
        return bus_.call(request, QDBus::Block, 5000);
    }

    QDBusConnection bus_;
};

class Listener final : public QObject, private Reader {
    Q_OBJECT

public:
    explicit Listener(QDBusConnection bus) : Reader(std::move(bus)) {}

    bool listen() {
        const bool connected = bus_.connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Object"),
                                            QStringLiteral("StateChanged"), this, SLOT(stateChanged(QDBusMessage)));
        if (!connected) return false;
        // Applications send only the events someone registered for.
        QDBusMessage registering = QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
            QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
        registering << QStringLiteral("object:state-changed:focused");
        const QDBusMessage reply = bus_.call(registering);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            // Newer registries take the properties and application too.
            registering << QStringList{} << QString();
            if (bus_.call(registering).type() == QDBusMessage::ErrorMessage) return false;
        }
        return true;
    }

public Q_SLOTS:
    void stateChanged(const QDBusMessage& message) {
        const auto arguments = message.arguments();
        if (arguments.size() < 2 || arguments[0].toString() != QLatin1String("focused") || arguments[1].toInt() != 1) {
            return;
        }
        const Reference object{message.service(), QDBusObjectPath(message.path())};
        QStringList fields{roleName(object), name(object), states(object)};
        QStringList ancestors;
        Reference at = object;
        for (int level = 0; level < 6; ++level) {
            const auto up = parentOf(at);
            if (!up || up->path.path() == QLatin1String("/org/a11y/atspi/null")) break;
            at = *up;
            ancestors << roleName(at) + ":" + name(at);
            if (roleName(at) == QLatin1String("application")) break;
        }
        fields << ancestors.join(QStringLiteral(" < "));
        if (fields[0] == QLatin1String("list item")) fields << siblings(object);
        std::printf("%s\n", fields.join(QLatin1Char('|')).toUtf8().constData());
        std::fflush(stdout);
    }

private:
    // "N of M, selected NAME": where the item is among its list's items, and the selected ones.
    QString siblings(const Reference& item) {
        const auto list = parentOf(item);
        if (!list) return {};
        const QList<Reference> all = childrenOf(*list);
        int position = 0;
        QStringList selected;
        for (int i = 0; i < all.size(); ++i) {
            if (all[i].path == item.path) position = i + 1;
            if (states(all[i]).split(QLatin1Char(' ')).contains(QLatin1String("selected"))) selected << name(all[i]);
        }
        return QStringLiteral("%1 of %2, selected %3").arg(position).arg(all.size()).arg(selected.join(QStringLiteral(", ")));
    }
};

// The windows of the application named `name`, as `windows` prints them.
int printWindows(QDBusConnection bus, const QString& name) {
    Reader reader(std::move(bus));
    const Reference desktop{QStringLiteral("org.a11y.atspi.Registry"), QDBusObjectPath("/org/a11y/atspi/accessible/root")};
    for (const Reference& application : reader.childrenOf(desktop)) {
        if (reader.name(application) != name) continue;
        for (const Reference& window : reader.childrenOf(application)) {
            const QStringList fields{reader.roleName(window), reader.name(window), reader.states(window)};
            std::printf("%s\n", fields.join(QLatin1Char('|')).toUtf8().constData());
        }
        return 0;
    }
    std::fprintf(stderr, "no application %s\n", name.toUtf8().constData());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    qDBusRegisterMetaType<Reference>();
    qDBusRegisterMetaType<QList<Reference>>();
    QDBusInterface launcher(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"));
    const QDBusReply<QString> address = launcher.call(QStringLiteral("GetAddress"));
    if (!address.isValid()) {
        std::fprintf(stderr, "no accessibility bus: %s\n", address.error().message().toUtf8().constData());
        return 1;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(address.value(), QStringLiteral("a11y"));
    if (!bus.isConnected()) {
        std::fprintf(stderr, "cannot reach the accessibility bus\n");
        return 1;
    }
    if (argc == 3 && QByteArray(argv[1]) == "windows") return printWindows(bus, QString::fromUtf8(argv[2]));
    Listener listener(bus);
    if (!listener.listen()) {
        std::fprintf(stderr, "cannot listen for focus changes\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}

#include "AtspiFocus.moc"
