#pragma once
// The splash window TSplashScreen: one picture, shown while the configurator starts.
#include <QPixmap>
#include <QWidget>

namespace zyvora_app {

class TSplashScreen : public QWidget {
public:
    TSplashScreen();
};

// The 254 by 254 splash picture, painted here so the program carries no artwork files.
QPixmap splash_picture();

}  // namespace zyvora_app
