#pragma once

#include "ConnectUI/ViewModels/KeyedListModel.hpp"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

#include <cstdint>
#include <map>

namespace tarnwick {

class AppState;

/// The application state as the connect pane, the menu panel and the gallery read it: plain values the
/// views bind to, and the operations their buttons call. Plain values are derived again on every change of
/// the state; the lists are models that change row by row.
class ConnectModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool targeted READ targeted WRITE setTargeted NOTIFY changed)
    Q_PROPERTY(QString headline READ headline NOTIFY changed)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY changed)
    Q_PROPERTY(bool signedIn READ signedIn NOTIFY changed)
    Q_PROPERTY(QString accountName READ accountName NOTIFY changed)
    Q_PROPERTY(bool isSigningIn READ isSigningIn NOTIFY changed)
    Q_PROPERTY(QString signInError READ signInError NOTIFY changed)
    Q_PROPERTY(bool signInErrorRecoverable READ signInErrorRecoverable NOTIFY changed)
    Q_PROPERTY(QString availability READ availability NOTIFY changed)
    Q_PROPERTY(QString availabilityText READ availabilityText NOTIFY changed)
    Q_PROPERTY(QString blockedMessage READ blockedMessage NOTIFY changed)
    Q_PROPERTY(tarnwick::KeyedListModel* connectedDevices READ connectedDevices CONSTANT)
    Q_PROPERTY(QVariantList nearbyPeers READ nearbyPeers NOTIFY changed)
    Q_PROPERTY(QString connectError READ connectError NOTIFY changed)
    Q_PROPERTY(QVariantMap pairing READ pairing NOTIFY changed)
    Q_PROPERTY(QString menuContent READ menuContent NOTIFY changed)
    Q_PROPERTY(QString diagnosis READ diagnosis NOTIFY changed)
    Q_PROPERTY(bool diagnosisSuggestsCloud READ diagnosisSuggestsCloud NOTIFY changed)
    Q_PROPERTY(tarnwick::KeyedListModel* transfers READ transfers CONSTANT)
    Q_PROPERTY(tarnwick::KeyedListModel* received READ received CONSTANT)
    Q_PROPERTY(tarnwick::KeyedListModel* gallery READ gallery CONSTANT)
    Q_PROPERTY(QString galleryFilter READ galleryFilter WRITE setGalleryFilter NOTIFY galleryFilterChanged)
    Q_PROPERTY(QString galleryEmptyText READ galleryEmptyText NOTIFY galleryFilterChanged)
    Q_PROPERTY(QString glyphState READ glyphState NOTIFY changed)
    Q_PROPERTY(bool shimmering READ shimmering NOTIFY changed)
    Q_PROPERTY(bool canOpenFirewallSettings READ canOpenFirewallSettings CONSTANT)

public:
    explicit ConnectModel(AppState& state, QObject* parent = nullptr);

    bool targeted() const { return targeted_; }
    void setTargeted(bool targeted);
    QString headline() const;
    QString subtitle() const;
    bool signedIn() const;
    /// The account's e-mail, else its subject, else "Signed in"; empty when nobody is signed in.
    QString accountName() const;
    bool isSigningIn() const;
    QString signInError() const;
    bool signInErrorRecoverable() const;
    QString availability() const;
    QString availabilityText() const;
    QString blockedMessage() const;
    KeyedListModel* connectedDevices() { return &devices_; }
    QVariantList nearbyPeers() const;
    QString connectError() const;
    QVariantMap pairing() const;
    QString menuContent() const;
    QString diagnosis() const;
    /// Whether the cloud would help: not when this computer has no network at all.
    bool diagnosisSuggestsCloud() const;
    KeyedListModel* transfers() { return &transfers_; }
    KeyedListModel* received() { return &received_; }
    /// Everything that moved, newest first, as the gallery's filter ("all", "received", "sent") keeps it.
    KeyedListModel* gallery() { return &gallery_; }
    QString galleryFilter() const { return galleryFilter_; }
    void setGalleryFilter(const QString& filter);
    /// What the gallery says when its filter leaves nothing.
    QString galleryEmptyText() const;
    /// The status glyph: "working" while anything is on its way, "success" once the newest send has
    /// landed, else "idle".
    QString glyphState() const;
    /// The backdrop's light band: signed in and still looking for a device.
    bool shimmering() const;
    /// Whether a network or firewall settings tool is installed for the blocked notice's button.
    bool canOpenFirewallSettings() const;

    Q_INVOKABLE void connectPeer(int index);
    /// Dials "HOST:PORT", typed in "Connect by Address…" or remembered for a paired device.
    Q_INVOKABLE void connectAddress(const QString& address);
    /// Sends the dropped files; addresses that are not local files are left out.
    Q_INVOKABLE void send(const QList<QUrl>& urls);
    /// Shows the desktop's file chooser and sends the files chosen; returns at once.
    Q_INVOKABLE void chooseFiles();
    Q_INVOKABLE void selectDestination(const QString& id);
    Q_INVOKABLE void approvePairing();
    Q_INVOKABLE void rejectPairing();
    Q_INVOKABLE void clearFinished();
    /// Stops the send a transfer row belongs to, or sends its failed batch again.
    Q_INVOKABLE void cancelTransfer(const QString& key);
    Q_INVOKABLE void retryTransfer(const QString& key);
    Q_INVOKABLE void signIn();
    Q_INVOKABLE void cancelSignIn();
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
    void galleryFilterChanged();

private:
    void appendRemembered(QVariantList& peers) const;
    void refreshTransfers();
    void refreshDevices();
    void refreshReceived();
    void refreshGallery();

    AppState& state_;
    bool targeted_ = false;
    KeyedListModel transfers_;
    KeyedListModel devices_;
    KeyedListModel received_;
    KeyedListModel gallery_;
    QString galleryFilter_ = "all";
    /// When each gallery entry was first listed, counted in refreshes: the gallery's newest-first order.
    std::map<QString, std::uint64_t> listedIn_;
    std::uint64_t refreshes_ = 0;
};

} // namespace tarnwick
