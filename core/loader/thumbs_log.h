#pragma once
// The loader's logging category, silent unless a developer enables
// lumvane.thumbs.debug: failures stay silent to the user.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcThumbs)
