Content-Length: 276

{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{"general":{"positionEncodings":["utf-8","utf-16"]},"textDocument":{"publishDiagnostics":{"relatedInformation":true}}},"initializationOptions":{"quorlan":{"codePage":1252,"drive":"D","checkFiles":false}}}}Content-Length: 52

{"jsonrpc":"2.0","method":"initialized","params":{}}Content-Length: 335

{"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"untitled:Quorlan.ini","languageId":"quorlan","version":1,"text":"Demo Disc, Sorted, size=640x480\r\n{\r\n  Setup, %:\\setup.exe /quiet, 'Installs the demo, then starts it.',\r\n  Readme\r\n  Tools { Editor, tools\\edit.exe, A small editor }\r\n}\r\n"}}}Content-Length: 147

{"jsonrpc":"2.0","id":2,"method":"textDocument/hover","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"position":{"line":2,"character":4}}}Content-Length: 120

{"jsonrpc":"2.0","id":3,"method":"textDocument/documentSymbol","params":{"textDocument":{"uri":"untitled:Quorlan.ini"}}}Content-Length: 366

{"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"untitled:Quorlan.ini","version":2},"contentChanges":[{"text":"Demo Disc, sorted, size=640x480\r\n{\r\n  Setup, %:\\setup.exe /quiet, 'Installs the demo, then starts it.',\r\n  Readme\r\n  Tools { Editor, tools\\edit.exe, A small editor }\r\n}\r\n\u00e9\u20ac\ud83d\ude00 \u2713"}]}}Content-Length: 112

{"jsonrpc":"2.0","method":"workspace/didChangeConfiguration","params":{"settings":{"quorlan":{"codePage":932}}}}Content-Length: 107

{"jsonrpc":"2.0","method":"textDocument/didClose","params":{"textDocument":{"uri":"untitled:Quorlan.ini"}}}Content-Length: 44

{"jsonrpc":"2.0","id":4,"method":"shutdown"}Content-Length: 33

{"jsonrpc":"2.0","method":"exit"}