#pragma once
// The BSD socket headers, for the code that BSD sockets and Windows Sockets share.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
