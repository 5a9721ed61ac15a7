#pragma once

#include <QString>

// What the program knows about itself: its title, its version and the folder it runs from.
namespace App {

QString title();   // "Halcyrix"
int major();       // 3
int minor();       // 0
int revision();    // 17
QString version(); // "3.0.17"

// The maker's addresses: home page, the program's product page (Help, Online Help) and the
// support mail address.
QString homePage();       // "https://halcyrix.org/"
QString productPage();    // "https://halcyrix.org/tuner/"
QString supportAddress(); // "support@halcyrix.org"

// The application directory: the folder named by HALCYRIX_HOME when it is set,
// otherwise the folder that holds the program file. Never ends in a slash.
QString path();

// A file in the application directory.
QString filePath(const QString &name);

} // namespace App
