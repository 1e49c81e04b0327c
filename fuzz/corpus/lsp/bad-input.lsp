Content-Length: 276

{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{"general":{"positionEncodings":["utf-8","utf-16"]},"textDocument":{"publishDiagnostics":{"relatedInformation":true}}},"initializationOptions":{"quorlan":{"codePage":1252,"drive":"D","checkFiles":false}}}}Content-Length: 335

{"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"untitled:Quorlan.ini","languageId":"quorlan","version":1,"text":"Demo Disc, Sorted, size=640x480\r\n{\r\n  Setup, %:\\setup.exe /quiet, 'Installs the demo, then starts it.',\r\n  Readme\r\n  Tools { Editor, tools\\edit.exe, A small editor }\r\n}\r\n"}}}Content-Length: 20

{"jsonrpc": "2.0", "Content-Length: 110

{"jsonrpc":"2.0","id":5,"method":"textDocument/documentSymbol","params":{"textDocument":{"uri":"untitled:Quorlan.ini"}}}Content-Length: 130

{"jsonrpc":"2.0","id":5,"method":"textDocument/documentSymbol","params":{"textDocument":{"uri":"untitled:Quorlan.ini"}}}Content-Type: x

{"jsonrpc":"2.0","id":5,"method":"textDocument/documentSymbol","params":{"textDocument":{"uri":"untitled:Quorlan.ini"}}}Content-Length: 5

[1,2]Content-Length: 51

{"jsonrpc":"2.0","id":6,"method":"quorlan/unknown"}Content-Length: 134

{"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"untitled:other"},"contentChanges":[{"text":"x"}]}}Content-Length: 149

{"jsonrpc":"2.0","id":7,"method":"textDocument/hover","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"position":{"line":99,"character":-1}}}