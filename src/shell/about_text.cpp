#include "shell/about_text.h"

#include "shell/version.h"

const char16_t about_text[] =
    u" Zoetra \u2013 Player for GIF Animations\r\n"
    u"\r\n"
    u" Version " ZOETRA_VERSION_TEXT "\r\n"
    u"\r\n"
    u" \u00A9 The Zoetra authors, 2024-2025\r\n"
    u"\r\n"
    u" E-mail:\tzoetra@example.org\r\n"
    u" Web:\thttps://zoetra.example.org\r\n"
    u"\r\n"
    u" This program comes without any\r\n"
    u" warranty; use it at your own risk.\r\n"
    u"\r\n"
    u" You may use it and pass it on\r\n"
    u" free of charge.";
