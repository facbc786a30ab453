// The scan account's credentials file: the one place its password is kept.
//
// Format (that of smbclient's authentication file, so `smbclient -A FILE`
// reads the same file):
//
//   username = scan
//   password = secret
//   domain = OFFICE
//
// One "name = value" per line; names ignore letter case; the value starts
// after the blanks that follow "="; blank lines and lines starting with "#"
// are skipped; "realm" is accepted and ignored. A file without a username
// names no account.
//
// Safe by construction: a file that another account may read or write is
// refused before anything is read from it: any permission for others, group
// write, or group read with a group other than the owner's own (the group
// of the owner's account). Only a regular file is read; a symbolic link is
// refused, so the mode checked is the mode of the file read.
//
// Errors name the file and never quote a value of it. Nothing here keeps a
// copy of the password beyond the account returned.
//
// Thread safety: pure functions over the file system; callable from any
// thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/net/network.h"

namespace tellwen::net {

// Reads path into *account. A missing file, or one without a username, is
// no error: *account is left with an empty user (guest only). Returns "" on
// success, otherwise the message to show (e.g. "/etc/tellwen/scan.credentials
// is readable by other accounts; make it 0600").
std::string ReadCredentialsFile(const std::string& path, NetAccount* account);

// The account a job offers where the guest is refused: the file's (read as
// ReadCredentialsFile does), and with kerberos set the ticket cache first
// (the user then defaults to the name of the account running the program).
// *account has no user and no kerberos when there is nothing to offer.
std::string LoadScanAccount(const std::string& path, bool kerberos, NetAccount* account);

// Parses the text of a credentials file (path names it in messages).
std::string ParseCredentials(std::string_view text, const std::string& path, NetAccount* account);

// Why value cannot stand in the file ("" when it can): a line break, or
// blanks at the start (the format drops them), or a NUL. what names the
// field in the message ("The password").
std::string CredentialValueProblem(std::string_view value, const std::string& what);

// Writes account (user, password, domain) to path with mode 0600, owned by
// the calling process's account, replacing the file atomically (a reader
// sees the old file or the new one whole). The folder must exist. Returns ""
// or the message to show.
std::string WriteCredentialsFile(const std::string& path, const NetAccount& account);

}  // namespace tellwen::net
