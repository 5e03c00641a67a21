#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

namespace tarnwick {

class AppState;

/// The application state as the connect pane, the menu panel and the gallery read it: plain values the
/// views bind to, and the operations their buttons call. Everything is derived again on every change of
/// the state, as the views redraw from it.
class ConnectModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool targeted READ targeted WRITE setTargeted NOTIFY changed)
    Q_PROPERTY(QString headline READ headline NOTIFY changed)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY changed)
    Q_PROPERTY(bool signedIn READ signedIn NOTIFY changed)
    Q_PROPERTY(QString accountEmail READ accountEmail NOTIFY changed)
    Q_PROPERTY(bool isSigningIn READ isSigningIn NOTIFY changed)
    Q_PROPERTY(QString signInError READ signInError NOTIFY changed)
    Q_PROPERTY(bool signInErrorRecoverable READ signInErrorRecoverable NOTIFY changed)
    Q_PROPERTY(QString availability READ availability NOTIFY changed)
    Q_PROPERTY(QString availabilityText READ availabilityText NOTIFY changed)
    Q_PROPERTY(QString blockedMessage READ blockedMessage NOTIFY changed)
    Q_PROPERTY(QVariantList connectedDevices READ connectedDevices NOTIFY changed)
    Q_PROPERTY(QVariantList nearbyPeers READ nearbyPeers NOTIFY changed)
    Q_PROPERTY(QString connectError READ connectError NOTIFY changed)
    Q_PROPERTY(QVariantMap pairing READ pairing NOTIFY changed)
    Q_PROPERTY(QString menuContent READ menuContent NOTIFY changed)
    Q_PROPERTY(QString diagnosis READ diagnosis NOTIFY changed)
    Q_PROPERTY(QVariantList transfers READ transfers NOTIFY changed)
    Q_PROPERTY(QVariantList received READ received NOTIFY changed)
    Q_PROPERTY(bool shimmering READ shimmering NOTIFY changed)
    Q_PROPERTY(bool canOpenFirewallSettings READ canOpenFirewallSettings CONSTANT)

public:
    explicit ConnectModel(AppState& state, QObject* parent = nullptr);

    bool targeted() const { return targeted_; }
    void setTargeted(bool targeted);
    QString headline() const;
    QString subtitle() const;
    bool signedIn() const;
    QString accountEmail() const;
    bool isSigningIn() const;
    QString signInError() const;
    bool signInErrorRecoverable() const;
    QString availability() const;
    QString availabilityText() const;
    QString blockedMessage() const;
    QVariantList connectedDevices() const;
    QVariantList nearbyPeers() const;
    QString connectError() const;
    QVariantMap pairing() const;
    QString menuContent() const;
    QString diagnosis() const;
    QVariantList transfers() const;
    QVariantList received() const;
    /// The backdrop's light band: signed in and still looking for a device.
    bool shimmering() const;
    /// Whether a network or firewall settings tool is installed for the blocked notice's button.
    bool canOpenFirewallSettings() const;

    /// The gallery's entries for a filter ("all", "received", "sent"), and what it says when none.
    Q_INVOKABLE QVariantList gallery(const QString& filter) const;
    Q_INVOKABLE QString galleryEmptyText(const QString& filter) const;

    Q_INVOKABLE void connectPeer(int index);
    /// Dials "HOST:PORT", typed in "Connect by Address…" or remembered for a paired device.
    Q_INVOKABLE void connectAddress(const QString& address);
    /// Sends the dropped files; addresses that are not local files are left out.
    Q_INVOKABLE void send(const QList<QUrl>& urls);
    Q_INVOKABLE void selectDestination(const QString& id);
    Q_INVOKABLE void approvePairing();
    Q_INVOKABLE void rejectPairing();
    Q_INVOKABLE void clearFinished();
    Q_INVOKABLE void signIn();
    Q_INVOKABLE void signOut();
    /// Asks the shell for the main window on "connect" or "settings".
    Q_INVOKABLE void openWindow(const QString& tab);
    Q_INVOKABLE void reveal(const QString& path);
    Q_INVOKABLE void open(const QString& path);
    Q_INVOKABLE void openFirewallSettings();

    /// The text under a device name: the system and its version when known.
    static QString peerSystem(const std::optional<std::string>& model,
                              const std::optional<std::string>& osVersion);
    /// The icon for a device announcing `model` as its platform.
    static QString peerSymbol(const std::optional<std::string>& model);

Q_SIGNALS:
    void changed();

private:
    void appendRemembered(QVariantList& peers) const;

    AppState& state_;
    bool targeted_ = false;
};

} // namespace tarnwick
