// The file sender of the image answers (ping icons, charts): a file from the
// extension's own folder sent as the whole response through the server's
// transmit-file service, and the extension's folder itself.
//
// Thread safety: any thread; each call uses its own file descriptor.
#pragma once

#include <string>

#include "query/http_server.h"

namespace tellwen::query {

// The physical folder of the extension's own URL (the server variable
// "URL" cut at its last "/", mapped through the server), ending in "/".
// False when the variable holds no "/" or the server cannot map it; *url
// then holds the variable's value for the "Weird response" page.
bool ExtensionFolder(CHttpServerContext* ctx, std::string* folder, std::string* url);

// The extension's minimal page ("execution results") with its own header,
// holding body: the answer of an image or download request that fails. The
// status is "200 OK" unless given; extra_headers are header lines, each
// ending in "\r\n".
void WriteAnswerPage(CHttpServerContext* ctx, const std::string& body,
                     const std::string& status = "200 OK", const std::string& extra_headers = "");

// ExtensionFolder; when the folder cannot be told, answers the page
// "Weird response from GetServerVariable: " + the URL escaped + "<br>" and
// returns false.
bool ExtensionFolderOrAnswer(CHttpServerContext* ctx, std::string* folder);

// Sends the file at path as the whole response with the head
// "HTTP/1.0 200 OK\r\n" + content_type + "\r\nContent-length: N\r\n\r\n".
// A file that cannot be opened (an empty path names nothing) or sent gets
// the framework's minimal page with the "FileOpen failed" or "TransmitFile
// failed" text instead. True when the file went out.
bool SendFile(CHttpServerContext* ctx, const std::string& path, const std::string& content_type);

}  // namespace tellwen::query
