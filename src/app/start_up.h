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

// The lock file in the user's temporary folder, joined with the platform's separator.
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
