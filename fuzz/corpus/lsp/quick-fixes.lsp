Content-Length: 174

{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{"general":{"positionEncodings":["utf-16"]}},"initializationOptions":{"quorlan":{"checkFiles":false}}}}Content-Length: 52

{"jsonrpc":"2.0","method":"initialized","params":{}}Content-Length: 202

{"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"untitled:Quorlan.ini","languageId":"quorlan","version":1,"text":"Offers\n{\n  Offer, offer.pdf, Save 20% today,\n}\n"}}}Content-Length: 252

{"jsonrpc":"2.0","id":2,"method":"textDocument/codeAction","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"range":{"start":{"line":0,"character":0},"end":{"line":9,"character":0}},"context":{"diagnostics":[],"only":["source.fixAll.quorlan"]}}}Content-Length: 270

{"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"untitled:Quorlan.ini","version":2},"contentChanges":[{"text":"My First Disc, Sorted\r\n{\r\n  Read Me, readme.txt, What is on this disc\r\n  Guide, guide.txt, How to use it\r\n}\r\n"}]}}Content-Length: 252

{"jsonrpc":"2.0","id":3,"method":"textDocument/codeAction","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"range":{"start":{"line":0,"character":0},"end":{"line":9,"character":0}},"context":{"diagnostics":[],"only":["source.fixAll.quorlan"]}}}Content-Length: 212

{"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"untitled:Quorlan.ini","version":3},"contentChanges":[{"text":"Kids' Disc, sorted\n{\n  Games, games.exe, for the kids'\n}\n"}]}}Content-Length: 252

{"jsonrpc":"2.0","id":4,"method":"textDocument/codeAction","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"range":{"start":{"line":0,"character":0},"end":{"line":9,"character":0}},"context":{"diagnostics":[],"only":["source.fixAll.quorlan"]}}}Content-Length: 277

{"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"untitled:Quorlan.ini","version":4},"contentChanges":[{"text":"Caf\u00e9 \ud83d\ude00 Disc\n{\n  Readme, readme.txt, \u20ac Don't skip this,\n  Guide, guide.txt, Read the guide's steps\n}\n"}]}}Content-Length: 252

{"jsonrpc":"2.0","id":5,"method":"textDocument/codeAction","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"range":{"start":{"line":0,"character":0},"end":{"line":9,"character":0}},"context":{"diagnostics":[],"only":["source.fixAll.quorlan"]}}}Content-Length: 127

{"jsonrpc":"2.0","id":"\ud800","method":"textDocument/documentSymbol","params":{"textDocument":{"uri":"untitled:Quorlan.ini"}}}Content-Length: 44

{"jsonrpc":"2.0","id":6,"method":"shutdown"}Content-Length: 33

{"jsonrpc":"2.0","method":"exit"}