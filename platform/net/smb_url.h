// Conversion of network names ("\\PC1\share\dir") into the smb:// URLs that
// libsmbclient takes ("smb://PC1/share/dir").
//
// Each component is percent-encoded (everything but unreserved ASCII), so
// that names holding "%", "#", "?", "@", ";", ":" or blanks reach the server
// as they are. A component that itself holds "/" cannot be expressed (the
// library reads it as a separator); callers skip such names before asking.
//
// Thread safety: pure functions.
#pragma once

#include <string>

namespace tellwen::net {

// "%41"-style encoding of one component.
std::string PercentEncode(const std::string& component);

// "\\PC1\share\dir" -> "smb://PC1/share/dir"; a name without the leading
// "\\" is taken as a computer name. "" gives "smb://" (the network's root).
std::string UncToSmbUrl(const std::string& unc);

// URL of a workgroup: "smb://" + encoded name.
std::string WorkgroupToSmbUrl(const std::string& workgroup);

// Computer part of a network name: "\\PC1\share" -> "PC1"; "PC1" -> "PC1".
std::string ComputerOfUnc(const std::string& unc);

}  // namespace tellwen::net
