// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parcelo {

enum MimeMediaType {
    MEDIA_TEXT = 0,
    MEDIA_IMAGE = 1,
    MEDIA_AUDIO = 2,
    MEDIA_VIDEO = 3,
    MEDIA_APPLICATION = 4,
    MEDIA_MULTIPART = 5,
    MEDIA_MESSAGE = 6,
    MEDIA_UNKNOWN = 7,
};

} // namespace parcelo
