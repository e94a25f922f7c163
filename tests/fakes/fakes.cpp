#include "fake_serial_port.h"
