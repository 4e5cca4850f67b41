#pragma once

#include <QSize>
#include <QString>
#include <QUrl>

class QQmlApplicationEngine;

namespace tessaravolt::app {

inline constexpr char kApplicationName[] = "Tessaravolt";
inline constexpr char kOrganisationName[] = "Tavrin";
inline constexpr char kApplicationVersion[] = "1.0.8";
inline constexpr char kLockFileName[] = "Tessaravolt.lock";

// The single-instance lock file of this user: on Linux in $XDG_RUNTIME_DIR when it is set, else in
// the temporary folder with the user's id in its name; elsewhere in the user's temporary folder.
QString lockFilePath();

// The root window of the module, Main.
QUrl mainWindowUrl();

// What the engine needs before it loads Main: the module's import path and the version values.
void prepareEngine(QQmlApplicationEngine& engine);
// The window size Main takes, as root-context values.
void setInitialWindowSize(QQmlApplicationEngine& engine, QSize size);

// The whole life of the program: start-up, event loop, shutdown. Returns the exit code.
int runApplication(int argc, char** argv, const QUrl& root = mainWindowUrl());

} // namespace tessaravolt::app
