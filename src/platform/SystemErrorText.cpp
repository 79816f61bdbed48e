#include "platform/SystemErrorText.h"

#include <cstring>

namespace parcelo {

QString SystemErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace parcelo
