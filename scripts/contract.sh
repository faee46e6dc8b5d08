# SPDX-License-Identifier: GPL-3.0-or-later
# The names the program's parts agree on, for the scripts; src/contract/ holds the same for the C++ side (a test
# compares the two). Sourced, not run.

# The cooler's display on USB, as sysfs and udev print the ids.
ORVANE_VENDOR_ID=0416
ORVANE_PRODUCT_ID=1100
# The sensor server's name (its argument and its socket in the runtime folder) and the two requests it takes.
ORVANE_SENSOR_SERVER_NAME=KALVOR_HWInfoServer
ORVANE_READ_REQUEST=readData
ORVANE_STOP_REQUEST=stopServer
