#pragma once

#include "app/instance_lock.h"

#include <QSize>
#include <QString>
#include <QUrl>

class QQmlApplicationEngine;

namespace tessaravolt::app {

inline constexpr char kApplicationName[] = "Tessaravolt";
inline constexpr char kOrganisationName[] = "Tavrin";
inline constexpr char kApplicationVersion[] = "1.0.8";
inline constexpr char kLockFileName[] = "Tessaravolt.lock";

// The single-instance lock file of this user and the kind of folder that holds it: on Linux in
// $XDG_RUNTIME_DIR when it is set (ThisMachine), else in the temporary folder with the user's id in
// its name (MaybeShared); elsewhere in the user's temporary folder (MaybeShared). The path is empty
// when the temporary folder does not exist.
struct LockFileLocation
{
    QString path;
    LockFolder folder = LockFolder::MaybeShared;
};
LockFileLocation lockFileLocation();

// The root window of the module, Main.
QUrl mainWindowUrl();

// What the engine needs before it loads Main: the module's import path and the version values.
void prepareEngine(QQmlApplicationEngine& engine);
// The window size Main takes, as root-context values.
void setInitialWindowSize(QQmlApplicationEngine& engine, QSize size);

// The whole life of the program: start-up, event loop, shutdown. Returns the exit code.
int runApplication(int argc, char** argv, const QUrl& root = mainWindowUrl());

} // namespace tessaravolt::app
