// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboardstyles.h"

const char* const dbdArray[kDbdArraySize] = {
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_1.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_2.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_3.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_4.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_6.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_8.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_10.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_12.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_14.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_16.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_18.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_20.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_18.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_16.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_14.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_12.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_10.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_8.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_6.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_4.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_3.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_2.png);}",
    "QWidget#main_dbd_bgi {border-image: url(:/image/bgi_dbd_1.png);}",
};

const QString kLinkStateNotLinked =
    QStringLiteral("QLabel#main_img_linkstate{\tborder-image: url(:/image/5651284.png);}");
const QString kLinkStateLinked = QStringLiteral("QLabel#main_img_linkstate{\tborder-image: url(:/image/5651226.png);}");
